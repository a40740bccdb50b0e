#!/usr/bin/env bash
# The real DLL in the system's own DirectShow graph under Wine, in a fresh prefix:
#  - the registry before `regsvr32`, after it and after `regsvr32 /u` (twice: unregistering
#    what is not registered succeeds);
#  - a table of renderings through File Source, WAVE Parser, the reverb (created by its CLSID
#    through COM), Sample Grabber and Null Renderer, each compared byte for byte with the Linux
#    `auralith process`, tail included; each run is repeated after a seek to 0 while running and
#    after stop and seek, and must give the same bytes;
#  - a packaged preset saved on Linux, loaded through IPersistStream and saved again in the
#    graph: the same bytes, and each system's preset renders the same on the other;
#  - graph building never inserts the reverb; the module unloads after the graph is released and
#    "~IRX.TMP" goes with the last filter.
# Ends with "N identical, N different" and exits 1 when any comparison or check failed.
#
# Options: --linux-build DIR (default build), --windows-build DIR (default build-win),
#   --no-build (use what is built), --keep (keep the work folder and print its name).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
linux_build="$root/build"
windows_build="$root/build-win"
build=1
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --linux-build) linux_build="$2"; shift 2 ;;
    --windows-build) windows_build="$2"; shift 2 ;;
    --no-build) build=0; shift ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "test-graph.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
done
source "$root/scripts/packages.sh"
need_packages test-graph.sh sox wine wine64
if [ "$build" -eq 1 ]; then
  "$root/scripts/build-windows.sh" --build-dir "$windows_build" --target auralith_plugin \
    --target auralith_graph_host
fi
linux_exe="$linux_build/tools/auralith"
host="$windows_build/tests/windows/auralith_graph_host.exe"
for f in "$linux_exe" "$host" "$windows_build/module/auralith_x64.dll"; do
  [ -f "$f" ] || { echo "test-graph.sh: $f is not built" >&2; exit 1; }
done

wine_work graph
export AURALITH_CONFIG_DIR="$work/config"
mkdir -p "$work/config" "$work/module"
cd "$work"
echo "== Preparing the Wine prefix"
wine wineboot --init >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -w

# The module in a folder of its own, as an installer puts it; "~IRX.TMP" goes beside it.
cp "$windows_build/module/auralith_x64.dll" module/
dll=$(winepath -w "$work/module/auralith_x64.dll")
failed=0
checks() {  # label, host arguments...
  local label=$1 log
  shift
  log=$(timeout 300 wine "$host" "$@" 2>&1 | tr -d '\r' | grep -v "^ALSA lib") || { failed=$((failed + 1)); }
  printf '%s\n' "$log" | grep -v '^ok ' | sed "s|^|  $label: |" || true
  echo "$label: $(grep -c '^ok ' <<<"$log") checks ok, $(grep -c '^FAILED' <<<"$log" || true) failed"
}
regsvr() {  # label, regsvr32 arguments...
  local label=$1 status=0
  shift
  wine regsvr32 /s "$@" >/dev/null 2>&1 || status=$?
  [ "$status" -eq 0 ] || failed=$((failed + 1))
  echo "regsvr32 $label: exit status $status"
}

checks "registry before" registry absent "$dll"
regsvr "" "$dll"
checks "registry after regsvr32" registry present "$dll"

# Inputs (sox in repeatable mode): a decaying noise impulse, tones as 16-bit and float.
sox -R -n -r 44100 -c 2 -b 16 ir.wav synth 0.4 pinknoise fade q 0 0.4 0.35 vol 0.3
sox -R -n -r 44100 -c 2 -b 16 in16s.wav synth 0.6 sine 440 sine 660 vol 0.05
sox -R -n -r 44100 -c 1 -b 16 in16m.wav synth 0.6 sine 330 vol 0.05
sox -R -n -r 48000 -c 2 -b 32 -e floating-point inf32s.wav synth 0.5 sine 523 whitenoise vol 0.05
sox -R -n -r 44100 -c 1 -b 32 -e floating-point inf32m.wav synth 0.5 sine 220 vol 0.05

# A packaged preset saved on Linux.
"$linux_exe" process in16s.wav linux-saved.wav --impulse ir.wav --quality 4 --low-shelf 150:4 \
  --envelope 0:100,500:40,1000:0 --width 70 --save-preset linux.preset --package-impulse --quiet

# name | input | options (the same for both hosts)
cases=(
  "q1|in16s.wav|--impulse ir.wav --quality 1"
  "q3|in16s.wav|--impulse ir.wav --quality 3"
  "q5|in16s.wav|--impulse ir.wav --quality 5"
  "mono16-q5|in16m.wav|--impulse ir.wav --quality 5"
  "float-stereo-q3|inf32s.wav|--impulse ir.wav --quality 3"
  "float-mono-q1|inf32m.wav|--impulse ir.wav --quality 1"
  "mono-to-stereo-q5|in16m.wav|--impulse ir.wav --mono-to-stereo --quality 5"
  "mono-to-stereo-float-q3|inf32m.wav|--impulse ir.wav --mono-to-stereo --quality 3"
  "packaged-preset|in16s.wav|--preset linux.preset --save-preset graph.preset"
)
identical=0
differ=0
compare() {  # label, file, file
  if cmp -s "$2" "$3"; then
    identical=$((identical + 1))
    printf '%-28s identical (%s bytes)\n' "$1" "$(stat -c %s "$2")"
  else
    differ=$((differ + 1))
    printf '%-28s DIFFERENT (%s and %s bytes; %s)\n' "$1" "$(stat -c %s "$2" 2>/dev/null || echo 0)" \
      "$(stat -c %s "$3" 2>/dev/null || echo 0)" "$(cmp "$2" "$3" 2>&1 | head -1)"
  fi
}
for row in "${cases[@]}"; do
  IFS='|' read -r name input options <<<"$row"
  # shellcheck disable=SC2086
  "$linux_exe" process "$input" "linux-$name.wav" ${options/--save-preset graph.preset/} --quiet
  # shellcheck disable=SC2086
  checks "graph $name" process "$input" "graph-$name.wav" $options
  compare "$name" "linux-$name.wav" "graph-$name.wav"
done
compare "preset saved in the graph" linux.preset graph.preset
"$linux_exe" process in16s.wav linux-from-graph-preset.wav --preset graph.preset --quiet
compare "graph's preset on linux" linux-saved.wav linux-from-graph-preset.wav

checks "graph building" autoconnect in16s.wav
# A subkey under the filter mapper's entry (another tool's, or an older registration's): the
# system's mapper deletes only childless keys, and unregistration must still remove it all.
wine reg add 'HKCR\CLSID\{083863F1-70DE-11D0-BD40-00A0C911CE86}\Instance\{6D41C280-3F7B-11D0-B5E2-00AA004E7C19}\Extra' /f >/dev/null 2>&1
regsvr "/u" /u "$dll"
checks "registry after regsvr32 /u" registry absent "$dll"
regsvr "/u again" /u "$dll"

echo "$identical identical, $differ different; $failed failed steps"
[ "$differ" -eq 0 ] && [ "$failed" -eq 0 ]
