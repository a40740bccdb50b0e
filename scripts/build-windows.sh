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

packages=(mingw-w64 g++-mingw-w64-x86-64-posix cmake make googletest wine wine64)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    echo "== Installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "build-windows.sh: missing packages: ${missing[*]} (install them, or run as root on Debian)" >&2
    exit 1
  fi
fi

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
jobs=$(nproc 2>/dev/null || echo 2)
echo "== Configuring $build_dir (x86_64-w64-mingw32)"
cmake -S "$root" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAURALITH_WERROR=ON "${launcher[@]}" >/dev/null
echo "== Building"
cmake --build "$build_dir" -j "$jobs" "${targets[@]}"
echo "== Built $build_dir/frame/auralith_x64.dll and $build_dir/tools/auralith.exe"
