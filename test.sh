#!/usr/bin/env bash
# Builds QELM Config and runs every test: first a plain build, then the Windows programs
# cross-built and tested under wine (scripts/build-windows.sh, tests/windows/run-tests.sh), then
# ./run.sh as a script runs it (no display, no terminal), then the Debian package's build and
# checks (scripts/check-package.sh: lintian, installing, trying and removing it), then README's
# run and package commands on a fresh Debian root (tests/run/check-fresh.sh), then a build with
# the address and undefined-behaviour sanitizers and the fuzzers (skip those with --quick).
# Installs the Debian packages it needs when they are missing; a service that installing them
# enabled is stopped and disabled again at once. No display is needed.
set -euo pipefail
cd "$(dirname "$0")"

# Installing ser2net enables and starts its daemon, whose default configuration offers the
# machine's serial lines on the network: what this command's installs enabled is stopped and
# disabled again, and nothing else is touched.
services_before=$(scripts/services.sh list)
disable_new_services() { scripts/services.sh disable-new "$services_before"; }
trap disable_new_services EXIT

scripts/ensure-packages.sh g++ cmake make qt6-base-dev libncurses-dev libgtest-dev libgmock-dev tmux \
  ser2net libgensio-dev libssl-dev openssl nlohmann-json3-dev socat
disable_new_services
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  # Four CTest slots a core: a real-time test takes four (tests/CMakeLists.txt), so two of them
  # run at once on two cores, and the fast tests fill the slots left.
  ctest --test-dir "$dir" --output-on-failure -j"$((jobs * 4))"
  # CTest keeps every test's output, a passing one's too: the fault matrix's totals.
  grep -h '^fault matrix: ' "$dir/Testing/Temporary/LastTest.log" ||
    { echo "The fault matrix printed no totals." >&2; return 1; }
}

run_suite build-test
# The Windows programs, cross-built with mingw-w64, and their tests under wine against the
# stand-in just built (never on the machine's own serial lines; tests/windows/wine-env.sh).
scripts/build-windows.sh --dir build-windows
tests/windows/run-tests.sh --sim build-test/sim/qelm-radio-sim build-windows
# The window driven with real keys against the stand-in, and the installer installed, tried and
# uninstalled, each in a fresh wine prefix on a virtual display of its own.
scripts/ensure-packages.sh xvfb xdotool imagemagick
version=$(sed -n 's/^project(QELMConfig VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
tests/windows/check-window.sh --exe build-windows/app/qelm-config.exe \
  --sim build-test/sim/qelm-radio-sim --work build-windows/wine-window \
  --dialog-tests build-windows/tests/windows/qelm_win32_dialog_tests.exe
tests/windows/check-installer.sh --setup "build-windows/qelm-config-$version-setup.exe" \
  --work build-windows/wine-installer
# The first run a newcomer makes, as a script makes it: no display, no terminal.
tests/run/check-run.sh
scripts/check-package.sh
# The same two commands on a machine that has nothing yet.
tests/run/check-fresh.sh
if [ "${1:-}" != "--quick" ]; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  # libgensio's own leak of unanswered line-setting requests, and nothing else, is passed over.
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan-suppressions.txt:print_suppressions=0"
  run_suite build-sanitize -DQELM_SANITIZE=ON
  # The fuzzers, a few seconds each (fuzz/run.sh), when clang and its fuzzing runtime can be had.
  if scripts/ensure-packages.sh clang libclang-rt-14-dev && command -v clang++ >/dev/null; then
    fuzz/run.sh 4
  else
    echo "clang is not available: the fuzzers were not run." >&2
  fi
fi
echo "All tests passed."
