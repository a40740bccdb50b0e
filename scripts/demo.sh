#!/usr/bin/env bash
# Builds the auralith command-line host and runs its demo.
#
# On Debian (as root) it first installs the build packages that are missing. Options:
#   --build-dir DIR   build folder (default: build-demo, apart from the tests' build)
#   --out DIR         where the demo writes its files (default: demo-out)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$root/build-demo"
out_dir="demo-out"
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build_dir="$2"; shift 2 ;;
    --out) out_dir="$2"; shift 2 ;;
    -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
done

# The demo needs only a compiler and CMake; the tests' packages come with ./scripts/test.sh.
packages=(g++ make cmake)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    echo "== Installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  elif ! command -v c++ >/dev/null || ! command -v cmake >/dev/null; then
    echo "demo.sh: missing packages: ${missing[*]} (install them, or run as root on Debian)" >&2
    exit 1
  fi
fi

jobs=$(nproc 2>/dev/null || echo 2)
echo "== Configuring $build_dir"
cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAURALITH_TESTS=OFF >/dev/null
echo "== Building auralith"
cmake --build "$build_dir" -j "$jobs" --target auralith
echo "== Running the demo"
"$build_dir/tools/auralith" demo "$out_dir"
echo "== The demo's files"
ls -l "$out_dir"
