#!/usr/bin/env bash
# Builds QELM Config and runs every test: first a plain build, then ./run.sh as a script runs it
# (no display, no terminal), then the Debian package's build and checks (scripts/check-package.sh:
# lintian, installing, trying and removing it), then a build with the address and
# undefined-behaviour sanitizers and the fuzzers (skip those with --quick). Installs the Debian packages it needs when they are missing. No display is needed.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-packages.sh g++ cmake make qt6-base-dev libncurses-dev libgtest-dev libgmock-dev tmux \
  ser2net libgensio-dev openssl
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

run_suite build-test
# The first run a newcomer makes, as a script makes it: no display, no terminal.
tests/run/check-run.sh
scripts/check-package.sh
if [ "${1:-}" != "--quick" ]; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  run_suite build-sanitize -DQELM_SANITIZE=ON
  # The fuzzers, a few seconds each (fuzz/run.sh), when clang and its fuzzing runtime can be had.
  if scripts/ensure-packages.sh clang libclang-rt-14-dev && command -v clang++ >/dev/null; then
    fuzz/run.sh 4
  else
    echo "clang is not available: the fuzzers were not run." >&2
  fi
fi
echo "All tests passed."
