#!/usr/bin/env bash
# Builds Auralith and runs every test.
#
# On Debian (as root) it first installs the build packages that are missing. Options:
#   --sanitize LIST   build with sanitizers: "address,undefined" or "thread"
#   --build-dir DIR   build folder (default: build, build-asan or build-tsan)
#   --tests REGEX     run only the tests whose names match (ctest -R)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
sanitize=""
build_dir=""
test_filter=""
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) sanitize="$2"; shift 2 ;;
    --build-dir) build_dir="$2"; shift 2 ;;
    --tests) test_filter="$2"; shift 2 ;;
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "test.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
done

if [ -z "$build_dir" ]; then
  case "$sanitize" in
    "") build_dir="$root/build" ;;
    thread) build_dir="$root/build-tsan" ;;
    *) build_dir="$root/build-asan" ;;
  esac
fi

# Build packages (compiler, CMake, GoogleTest) and the reference tools the tests compare with.
source "$root/scripts/packages.sh"
need_packages test.sh g++ make cmake libgtest-dev libgmock-dev sox ffmpeg sndfile-programs

jobs=$(nproc 2>/dev/null || echo 2)
echo "== Configuring $build_dir${sanitize:+ (sanitizers: $sanitize)}"
cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAURALITH_WERROR=ON \
  -DAURALITH_SANITIZE="$sanitize" >/dev/null
echo "== Building"
cmake --build "$build_dir" -j "$jobs"
echo "== Testing"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"
ctest --test-dir "$build_dir" --output-on-failure --timeout 300 -j "$jobs" ${test_filter:+-R "$test_filter"}
