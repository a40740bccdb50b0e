#!/usr/bin/env bash
# Times our real FFT against FFTW's real transforms (float and double, N = 2^10 .. 2^20, and double
# at 2^23) in a Release build and prints the table of our time over FFTW's, per size, with the
# targets (1.3 up to 2^20, 1.5 at 2^23); exits 1 when one is missed.
#   --build-dir DIR   build folder (default: build-bench)
#   any other arguments go to the benchmark program (e.g. --benchmark_filter=float)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$root/build-bench"
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build_dir="$2"; shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done

missing=()
for pkg in libbenchmark-dev libfftw3-dev pkg-config; do
  dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DAURALITH_BENCH=ON \
  -DAURALITH_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j2 --target auralith_fft_bench
"$build_dir/bench/auralith_fft_bench" "${args[@]+"${args[@]}"}"
