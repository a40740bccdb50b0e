#!/usr/bin/env bash
# Plants known faults into the product sources one at a time and checks that the suites catch
# each: apply, build incrementally, run ctest, record, restore the file exactly.
#
#   scripts/mutants.sh [--build-dir DIR] [--only N|REGEX] [--list] [--faults FILE] [--matrix OUT]
#
# The faults live in scripts/mutants.tsv (one a line: name, file, exact text, replacement,
# separated by TABs). Each text must occur exactly once in its file, so a fault whose code has
# moved fails loudly instead of testing nothing. --only takes a fault's number (as --list shows
# it) or a regular expression over the names. The build folder (default build-mutants) is
# configured once, with ccache when it is installed. A fault whose build fails is reported as
# "not compiled" and counts as neither caught nor missed. Exits non-zero when any fault is
# missed or a fault's text is not found exactly once. --matrix runs every case for every fault
# (no stop at the first failure) and writes to OUT one line a fault: its name, then the cases
# that failed, separated by TABs; it shows which cases alone catch a fault.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
faults="$root/scripts/mutants.tsv"
build_dir="$root/build-mutants"
only=""
list=0
matrix=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build_dir=$(realpath -m "$2"); shift 2 ;;
    --only) only="$2"; shift 2 ;;
    --list) list=1; shift ;;
    --faults) faults=$(realpath "$2"); shift 2 ;;
    --matrix) matrix=$(realpath -m "$2"); shift 2 ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "mutants.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
cd "$root"

# Fault table: parallel arrays, numbered from 1 in file order.
names=(); files=(); finds=(); replaces=()
while IFS= read -r line || [ -n "$line" ]; do
  case "$line" in ''|'#'*) continue ;; esac
  IFS=$'\t' read -r name file find replace <<<"$line" || true
  if [ -z "${name:-}" ] || [ -z "${file:-}" ] || [ -z "${find:-}" ]; then
    echo "mutants.sh: malformed line in $faults: $line" >&2
    exit 2
  fi
  names+=("$name"); files+=("$file"); finds+=("$find"); replaces+=("${replace:-}")
done <"$faults"

selected=()
for i in "${!names[@]}"; do
  n=$((i + 1))
  if [ -z "$only" ] || [ "$only" = "$n" ] ||
     { ! [[ "$only" =~ ^[0-9]+$ ]] && [[ "${names[$i]}" =~ $only ]]; }; then
    selected+=("$i")
  fi
done
if [ ${#selected[@]} -eq 0 ]; then
  echo "mutants.sh: no fault matches '$only'" >&2
  exit 2
fi

if [ "$list" = 1 ]; then
  for i in "${selected[@]}"; do
    printf '%3d  %-34s %s\n' $((i + 1)) "${names[$i]}" "${files[$i]}"
  done
  exit 0
fi

# Replaces the one occurrence of FIND in FILE with REPLACE; fails unless there is exactly one.
plant() {
  python3 - "$1" "$2" "$3" <<'EOF'
import sys
path, find, replace = sys.argv[1:4]
with open(path, "rb") as f:
    text = f.read()
count = text.count(find.encode())
if count != 1:
    sys.exit(f"{path}: the text occurs {count} times, not once: {find}")
with open(path, "r+b") as f:
    f.write(text.replace(find.encode(), replace.encode()))
    f.truncate()
EOF
}

# Every selected fault's text must be found before anything runs.
bad=0
for i in "${selected[@]}"; do
  count=$(python3 -c 'import sys; print(open(sys.argv[1], "rb").read().count(sys.argv[2].encode()))' \
          "${files[$i]}" "${finds[$i]}" 2>/dev/null || echo 0)
  if [ "$count" != 1 ]; then
    echo "mutants.sh: ${names[$i]}: text found $count times in ${files[$i]}" >&2
    bad=1
  fi
done
[ "$bad" = 0 ] || exit 2

# The file being mutated and its saved original; the trap puts it back whatever happens.
current=""
saved=$(mktemp)
restore() {
  if [ -n "$current" ]; then
    # Writing through the file (not moving the copy) gives it a new time, so the next build
    # recompiles it.
    cat "$saved" >"$current"
    current=""
  fi
}
trap 'restore; rm -f "$saved"' EXIT
trap 'exit 130' INT TERM

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAURALITH_WERROR=ON \
    "${launcher[@]}" >/dev/null
fi
log="$build_dir/mutants.log"
: >"$log"
echo "building the unmutated tree in $build_dir"
if ! cmake --build "$build_dir" -j2 >>"$log" 2>&1; then
  echo "mutants.sh: the unmutated tree does not build (see $log)" >&2
  exit 2
fi
if ! ctest --test-dir "$build_dir" -j2 --timeout 300 >>"$log" 2>&1; then
  echo "mutants.sh: the unmutated tree fails its suites (see $log)" >&2
  exit 2
fi

[ -z "$matrix" ] || : >"$matrix"
stop=(--stop-on-failure)
[ -z "$matrix" ] || stop=()
failed_log="$build_dir/Testing/Temporary/LastTestsFailed.log"
caught=0; missed=0; uncompiled=0; missed_names=()
for i in "${selected[@]}"; do
  n=$((i + 1)); name="${names[$i]}"; file="${files[$i]}"
  cp "$file" "$saved"
  current="$file"
  plant "$file" "${finds[$i]}" "${replaces[$i]}"
  echo "=== $n $name" >>"$log"
  if ! cmake --build "$build_dir" -j2 >>"$log" 2>&1; then
    result="not compiled"; uncompiled=$((uncompiled + 1))
  elif rm -f "$failed_log" &&
       ctest --test-dir "$build_dir" -j2 --timeout 120 "${stop[@]}" >>"$log" 2>&1; then
    result="MISSED"; missed=$((missed + 1)); missed_names+=("$name")
  else
    result="caught"; caught=$((caught + 1))
  fi
  if [ -n "$matrix" ]; then
    { printf '%s' "$name"
      [ "$result" != caught ] || [ ! -f "$failed_log" ] || cut -d: -f2- "$failed_log" | sed 's/^/\t/' | tr -d '\n'
      printf '\n'; } >>"$matrix"
  fi
  restore
  printf '%3d  %-34s %-12s %s\n' "$n" "$name" "$result" "$file"
done

# Leave the build folder matching the sources again.
cmake --build "$build_dir" -j2 >>"$log" 2>&1 || true
[ "$uncompiled" = 0 ] || echo "$uncompiled not compiled"
echo "$caught caught, $missed missed"
[ "$missed" = 0 ] || { echo "missed: ${missed_names[*]}"; exit 1; }
