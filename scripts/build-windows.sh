#!/usr/bin/env bash
# Cross-builds the Windows programs into build-windows/ (or the folder given with --dir) with
# mingw-w64 and the toolchain file cmake/mingw-w64-x86_64.cmake: qelm-cli.exe, the window
# program and its installer where the build has them, and the Windows tests (off with
# --no-tests). Installs the Debian packages it needs when they are missing; wine and nsis are
# among them for the tests and the installer. Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build-windows
tests=ON
while [ $# -gt 0 ]; do
  case $1 in
    --dir) dir=$2; shift 2 ;;
    --no-tests) tests=OFF; shift ;;
    *) break ;;
  esac
done

scripts/ensure-packages.sh cmake make g++-mingw-w64-x86-64-posix nsis googletest wine \
  nlohmann-json3-dev
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DQELM_TESTS="$tests" "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j"${QELM_JOBS:-$(nproc)}"
