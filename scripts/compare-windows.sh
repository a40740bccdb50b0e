#!/usr/bin/env bash
# Renders a table of cases with the Linux `auralith process` and with `auralith.exe process` under
# Wine and compares the output files byte for byte. A preset saved by each system is rendered by
# the other. For files that differ it prints the largest difference in dB below full scale.
# Exits 1 when any case differs.
#
# Needs both builds (build/ and build-win/, or --linux-build / --windows-build), sox and Debian's
# python3 with numpy. --keep leaves the work folder in place and prints its name.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
linux_build="$root/build"
windows_build="$root/build-win"
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --linux-build) linux_build="$2"; shift 2 ;;
    --windows-build) windows_build="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "compare-windows.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
done
source "$root/scripts/packages.sh"
need_packages compare-windows.sh sox python3-numpy wine wine64
linux_exe="$linux_build/tools/auralith"
windows_exe="$windows_build/tools/auralith.exe"
for f in "$linux_exe" "$windows_exe"; do
  [ -f "$f" ] || { echo "compare-windows.sh: $f is not built" >&2; exit 1; }
done

wine_work compare
# Wine converts arguments and file names with the locale's character set; the non-ASCII case
# below is spelled in UTF-8.
export LC_ALL=C.UTF-8
# Each system's settings and packaged impulse stay in the work folder.
export AURALITH_CONFIG_DIR="$work/config"
mkdir -p "$work/config"
cd "$work"

# Inputs (sox in repeatable mode): a decaying noise impulse, tones with noise as 16-bit and
# float, mono and stereo.
sox -R -n -r 44100 -c 2 -b 16 ir.wav synth 0.4 pinknoise fade q 0 0.4 0.35 vol 0.3
sox -R -n -r 44100 -c 2 -b 16 in16s.wav synth 0.6 sine 440 sine 660 vol 0.05
sox -R -n -r 44100 -c 1 -b 16 in16m.wav synth 0.6 sine 330 vol 0.05
sox -R -n -r 48000 -c 2 -b 32 -e floating-point inf32s.wav synth 0.5 sine 523 whitenoise vol 0.05
sox -R -n -r 44100 -c 1 -b 32 -e floating-point inf32m.wav synth 0.5 sine 220 vol 0.05
# Compressed inputs: decoded by our decoders on Linux, by the system's audio compression manager
# (msacm32 and its codecs) on Windows.
sox in16s.wav -e ima-adpcm ima.wav
# Whole blocks (12 of 2036 frames): the system leaves a trailing partial block undecoded.
sox in16s.wav -e ms-adpcm msadpcm.wav trim 0 24432s
sox in16m.wav -e a-law alaw.wav
sox in16m.wav -e u-law ulaw.wav

# name | input | options
cases=(
  "q1|in16s.wav|--quality 1"
  "q2|in16s.wav|--quality 2"
  "q3|in16s.wav|--quality 3"
  "q4|in16s.wav|--quality 4"
  "q5|in16s.wav|--quality 5"
  "mono16|in16m.wav|--quality 5"
  "float-stereo|inf32s.wav|--quality 3"
  "float-mono|inf32m.wav|--quality 4"
  "mono-to-stereo|in16m.wav|--mono-to-stereo --quality 5"
  "shelves|in16s.wav|--low-shelf 200:6 --high-shelf 5000:-9 --quality 5"
  "envelope|in16s.wav|--envelope 0:100,300:60,1000:0 --quality 5"
  "decay-limit|inf32s.wav|--decay-limit 0.2 --quality 2"
  "mix|in16s.wav|--dry -6 --wet -3 --width 80 --pan 30 --delay 12.5 --quality 5"
  "float-out|in16s.wav|--format float32 --quality 5"
  "ima-adpcm|ima.wav|--quality 5"
  "a-law|alaw.wav|--quality 5"
  "mu-law|ulaw.wav|--quality 5"
)

linux() { "$linux_exe" "$@" --quiet; }
windows() { wine "$windows_exe" "$@" --quiet; }

differ=0
compare() {  # name, linux file, windows file
  if cmp -s "$2" "$3"; then
    printf '%-26s identical (%s bytes)\n' "$1" "$(stat -c %s "$2")"
  else
    differ=$((differ + 1))
    printf '%-26s DIFFERENT: %s\n' "$1" "$(/usr/bin/python3 - "$2" "$3" <<'PY'
import sys, numpy as np, wave, struct
def load(path):
    data = open(path, 'rb').read()
    pos, fmt, samples = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos+4], struct.unpack('<I', data[pos+4:pos+8])[0]
        body = data[pos+8:pos+8+size]
        if cid == b'fmt ': fmt = struct.unpack('<HHIIHH', body[:16])
        if cid == b'data': samples = body
        pos += 8 + size + (size & 1)
    tag, bits = fmt[0], fmt[5]
    if bits == 16: return np.frombuffer(samples, '<i2').astype(float) / 32768
    if bits == 32: return np.frombuffer(samples, '<f4').astype(float)
    return np.frombuffer(samples, '<f8')
a, b = load(sys.argv[1]), load(sys.argv[2])
if a.size != b.size: print('lengths %d and %d samples' % (a.size, b.size)); sys.exit()
d = np.abs(a - b).max()
print('largest difference %.1f dB FS in %d of %d samples' % (20*np.log10(d) if d else -999, np.count_nonzero(a != b), a.size))
PY
)"
  fi
}

for row in "${cases[@]}"; do
  IFS='|' read -r name input options <<<"$row"
  # shellcheck disable=SC2086
  linux process "$input" "linux-$name.wav" --impulse ir.wav $options
  # shellcheck disable=SC2086
  windows process "$input" "windows-$name.wav" --impulse ir.wav $options
  compare "$name" "linux-$name.wav" "windows-$name.wav"
done

# Microsoft ADPCM is shown, not counted: Wine's codec decodes the same whole blocks differently
# from one run to the next (seen: -36 dB FS after convolution in about half the samples, in some
# runs and not others), while ours matches sox's decode exactly.
linux process msadpcm.wav linux-ms-adpcm.wav --impulse ir.wav --quality 5
windows process msadpcm.wav windows-ms-adpcm.wav --impulse ir.wav --quality 5
counted=$differ
compare "ms-adpcm (not counted)" linux-ms-adpcm.wav windows-ms-adpcm.wav
differ=$counted

# A preset saved on one system and rendered on the other, with the impulse packaged inside.
opts=(--quality 4 --low-shelf 150:4 --envelope 0:100,500:40,1000:0 --width 70)
linux process in16s.wav linux-saved.wav --impulse ir.wav "${opts[@]}" --save-preset linux.preset \
  --package-impulse
windows process in16s.wav windows-saved.wav --impulse ir.wav "${opts[@]}" \
  --save-preset windows.preset --package-impulse
# The two preset files differ where they name the impulse file (each system's own path).
echo "presets saved: $(cmp -l linux.preset windows.preset | wc -l) bytes differ (the impulse file's path)"
windows process in16s.wav windows-from-linux-preset.wav --preset linux.preset
linux process in16s.wav linux-from-windows-preset.wav --preset windows.preset
compare "linux preset on windows" linux-saved.wav windows-from-linux-preset.wav
compare "windows preset on linux" linux-saved.wav linux-from-windows-preset.wav

# Names outside the ANSI code page reach the Windows program whole (it reads its UTF-16 command
# line, not the C runtime's ANSI arguments): an input, an impulse and an output named so.
cp in16m.wav 'wejście-вход.wav'
cp ir.wav 'αίθουσα.wav'
linux process 'wejście-вход.wav' linux-names.wav --impulse 'αίθουσα.wav' --quality 5
windows process 'wejście-вход.wav' 'windows-łódź.wav' --impulse 'αίθουσα.wav' --quality 5
compare "non-ASCII file names" linux-names.wav 'windows-łódź.wav'

echo "$((${#cases[@]} + 3 - differ)) identical, $differ different"
[ "$differ" -eq 0 ]
