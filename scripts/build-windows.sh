#!/usr/bin/env bash
# Builds the Windows x64 module (auralith_x64.dll), the command-line host (auralith.exe) and the
# test suites with mingw-w64 into build-win/ (or --build-dir DIR).
#
# On Debian (as root) it first installs the packages that are missing: mingw-w64, cmake, wine
# (to run the suites) and the GoogleTest sources it builds with the same toolchain. Options:
#   --build-dir DIR   build folder (default: build-win)
#   --target NAME     build only that target (repeatable)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$root/build-win"
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build_dir="$2"; shift 2 ;;
    --target) targets+=(--target "$2"); shift 2 ;;
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "build-windows.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
done

source "$root/scripts/packages.sh"
need_packages build-windows.sh mingw-w64 g++-mingw-w64-x86-64-posix cmake make googletest wine wine64

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
jobs=$(nproc 2>/dev/null || echo 2)
echo "== Configuring $build_dir (x86_64-w64-mingw32)"
cmake -S "$root" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAURALITH_WERROR=ON "${launcher[@]}" >/dev/null
echo "== Building"
cmake --build "$build_dir" -j "$jobs" "${targets[@]}"
echo "== Built $build_dir/module/auralith_x64.dll and $build_dir/tools/auralith.exe"
