#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ (or $QELM_FUZZ_BUILD) and runs each
# for the given number of seconds (default 5) over its corpus in fuzz/corpus/<name>. New
# inputs go to a scratch folder, so the corpus in the repository stays as it is; a crash
# leaves its input in build-fuzz/crashes/ and makes the script fail. Installs clang, its
# fuzzing runtime and the build's Debian packages when they are missing.
#   fuzz/run.sh          # a few seconds each, as the test command does
#   fuzz/run.sh 600      # ten minutes each
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}
dir=${QELM_FUZZ_BUILD:-build-fuzz}
scripts/ensure-packages.sh clang libclang-rt-14-dev cmake make qt6-base-dev libncurses-dev \
  libgensio-dev libssl-dev nlohmann-json3-dev
# Only the fuzzers and what they reach: no tests, so no test framework is needed.
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELM_FUZZ=ON \
  -DQELM_WITH_QT_WIDGETS=OFF -DQELM_TESTS=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)" --target qelm_fuzzers >/dev/null
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$dir/crashes"
for name in reply banner log_trim registry template cli_input; do
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/qelm-fuzz-XXXXXX")
  if ! "$dir/fuzz/${name}_fuzzer" "$scratch" "fuzz/corpus/$name" -max_total_time="$seconds" \
      -max_len=4096 -timeout=10 -artifact_prefix="$dir/crashes/${name}-" \
      >"$dir/${name}.log" 2>&1; then
    tail -n 30 "$dir/${name}.log" >&2
    rm -rf "$scratch"
    echo "fuzzer ${name} failed; its input is in $dir/crashes/" >&2
    exit 1
  fi
  rm -rf "$scratch"
  echo "fuzzer ${name}: $(grep -Eo "Done [0-9]+ runs in [0-9]+ second.s." "$dir/${name}.log" | head -1)"
done
