#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz and runs each one for a bounded
# time on its committed corpus (with the RIFF dictionary for the file readers).
#
# Usage: scripts/fuzz.sh [SECONDS]      seconds per target, default 60
#   FUZZ_TARGETS="riff wave"            run only these targets
#   FUZZ_OUT=DIR                        where new corpus entries and crash files go
#                                       (default: a fresh folder under /tmp, never the repo)
# On Debian (as root) it first installs clang and its runtime when they are missing. Exits 1
# when any target crashes, leaks, times out or breaks an invariant; the input that did it is
# left in $FUZZ_OUT/<target>/crash-* (or leak-*, timeout-*) and the log beside it.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds="${1:-60}"
case "$seconds" in
  ''|*[!0-9]*) echo "fuzz.sh: SECONDS must be a whole number" >&2; exit 2 ;;
esac
targets="${FUZZ_TARGETS:-riff wave impulse summary preset settings stream}"
build_dir="$root/build-fuzz"

source "$root/scripts/packages.sh"
need_packages fuzz.sh clang-14 libclang-rt-14-dev cmake make libgtest-dev
compiler=$(command -v clang++ || command -v clang++-14)

jobs=$(nproc 2>/dev/null || echo 2)
echo "== Configuring $build_dir"
cmake -S "$root" -B "$build_dir" -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DAURALITH_FUZZ=ON -DAURALITH_TESTS=OFF -DAURALITH_SANITIZE=address,undefined \
  -DAURALITH_WERROR=ON >/dev/null
echo "== Building"
build_targets=()
for t in $targets; do build_targets+=(--target "fuzz_$t"); done
cmake --build "$build_dir" -j "$jobs" "${build_targets[@]}"

out="${FUZZ_OUT:-$(mktemp -d /tmp/auralith-fuzz.XXXXXX)}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=()
for t in $targets; do
  mkdir -p "$out/$t/new"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$out/$t/")
  case "$t" in
    riff|wave|impulse|summary) options+=(-dict="$root/fuzz/riff.dict") ;;
  esac
  echo "== fuzz_$t for ${seconds}s"
  # New finds go to the scratch folder first in the list; the committed corpus is only read.
  if "$build_dir/fuzz/fuzz_$t" "${options[@]}" "$out/$t/new" "$root/fuzz/corpus/$t" \
      >"$out/$t/log" 2>&1; then
    grep -E "stat::number_of_executed_units|stat::new_units_added" "$out/$t/log" | tr '\n' ' '
    echo
  else
    echo "fuzz_$t FAILED: see $out/$t/log"
    grep -E "ERROR|invariant broken|SUMMARY|Test unit written" "$out/$t/log" | head -5 || true
    failed+=("$t")
  fi
done
echo "== Fuzz output in $out"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: failures in: ${failed[*]}" >&2
  exit 1
fi
