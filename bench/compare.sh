#!/usr/bin/env bash
# Races `auralith process` (quality 5 and 3) against the open convolvers on one file-to-file job:
# 60 s of stereo 44.1 kHz float noise padded with 3 s of silence, convolved with a 3 s stereo
# impulse. Prints the median wall and CPU time of each command over alternating runs, the ratio
# to fconvolver -V -T, how far each peer's output is from ours at quality 5 once the gain is
# matched, and the peak memory of our render beside the buffers the engine holds for it.
#   --runs N          timed runs of every command (default 5)
#   --build-dir DIR   Release build of auralith (default: build-bench-cli)
#   --work DIR        workload and outputs (default: BUILD_DIR/compare)
#   --no-install      do not install missing peers
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=5
build_dir="$root/build-bench-cli"
work=""
install=1
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --build-dir) build_dir="$2"; shift 2 ;;
    --work) work="$2"; shift 2 ;;
    --no-install) install=0; shift ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "compare.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
done
[ -n "$work" ] || work="$build_dir/compare"

# --- peers -----------------------------------------------------------------------------------
missing=()
for pkg in jconvolver brutefir ffmpeg sox g++ cmake; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$install" -eq 1 ] && [ "$(id -u)" -eq 0 ]; then
    echo "== Installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  else
    echo "compare.sh: missing packages: ${missing[*]}" >&2
    exit 1
  fi
fi

# --- our build -------------------------------------------------------------------------------
echo "== Building auralith (Release) in $build_dir"
cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DAURALITH_TESTS=OFF \
  -DAURALITH_WERROR=ON >/dev/null
cmake --build "$build_dir" -j2 --target auralith >/dev/null
auralith="$build_dir/tools/auralith"
mkdir -p "$work"
g++ -O2 -std=c++17 -o "$work/wave_diff" "$root/bench/wave_diff.cpp"

# --- workload (sox -R: the same noise on every run) -----------------------------------------
cd "$work"
frames_ir=132300  # 3 s at 44.1 kHz
if [ ! -s in.wav ] || [ ! -s ir.wav ]; then
  echo "== Synthesising the workload in $work"
  f32=(-r 44100 -c 1 -b 32 -e floating-point)
  sox -R -n "${f32[@]}" in_l.wav synth 60 pinknoise gain -10
  sox -R -n "${f32[@]}" in_r.wav synth 60 whitenoise gain -16
  sox -R -M in_l.wav in_r.wav -b 32 -e floating-point in.wav pad 0 3
  # Peers do not normalise the impulse: -50 dB keeps their outputs inside full scale.
  sox -R -n "${f32[@]}" ir_l.wav synth 3 whitenoise fade q 0 3 2.9 gain -50
  sox -R -n "${f32[@]}" ir_r.wav synth 3 pinknoise fade q 0 3 2.5 gain -50
  sox -R -M ir_l.wav ir_r.wav -b 32 -e floating-point ir.wav
  rm -f in_l.wav in_r.wav ir_l.wav ir_r.wav
fi
# What each peer reads besides the wave files.
printf '/convolver/new 2 2 1024 %d 1.0\n/impulse/read 1 1 1 0 0 0 1 ir.wav\n/impulse/read 2 2 1 0 0 0 2 ir.wav\n' \
  "$frames_ir" > fconvolver.conf
[ -s in.raw ] || sox in.wav -t raw -e floating-point -b 32 in.raw
[ -s ir_l.raw ] || sox ir.wav -t raw -e floating-point -b 32 ir_l.raw remix 1
[ -s ir_r.raw ] || sox ir.wav -t raw -e floating-point -b 32 ir_r.raw remix 2
[ -s fir_l.txt ] || sox ir.wav -t dat - | awk '!/^;/ { print $2 > "fir_l.txt"; print $3 > "fir_r.txt" }'
cat > brutefir.conf <<'EOF'
float_bits: 32;
sampling_rate: 44100;
filter_length: 8192,17;
overflow_warnings: false;
show_progress: false;
safety_limit: 0;
lock_memory: false;
convolver_config: "brutefir_wisdom";
coeff "c_l" { filename: "ir_l.raw"; format: "FLOAT_LE"; };
coeff "c_r" { filename: "ir_r.raw"; format: "FLOAT_LE"; };
input "in_l", "in_r" { device: "file" { path: "in.raw"; }; sample: "FLOAT_LE"; channels: 2/0,1; };
output "out_l", "out_r" { device: "file" { path: "out_brutefir.raw"; }; sample: "FLOAT_LE"; channels: 2/0,1; };
filter "f_l" { from_inputs: "in_l"; to_outputs: "out_l"; coeff: "c_l"; };
filter "f_r" { from_inputs: "in_r"; to_outputs: "out_r"; coeff: "c_r"; };
EOF
export HOME="$work"  # brutefir keeps its defaults file in $HOME

# --- the race ---------------------------------------------------------------------------------
names=(auralith-q5 auralith-q3 fconvolver-V-T fconvolver-T ffmpeg-afir brutefir sox-fir sox-copy)
commands=(
  "$auralith process in.wav out_q5.wav --impulse ir.wav --quality 5 --quiet"
  "$auralith process in.wav out_q3.wav --impulse ir.wav --quality 3 --quiet"
  "fconvolver -V -T fconvolver.conf in.wav out_fconvolver.wav >/dev/null"
  "fconvolver -T fconvolver.conf in.wav out_fconvolver_default.wav >/dev/null"
  "ffmpeg -v error -y -threads 1 -filter_complex_threads 1 -i in.wav -i ir.wav -filter_complex '[0:a][1:a]afir=gtype=none:irgain=0.5:minp=8192:maxp=8192[o]' -map '[o]' -c:a pcm_f32le out_afir.wav"
  "brutefir -quiet brutefir.conf"
  "sox in.wav -b 32 -e floating-point fir_out_l.wav remix 1 fir fir_l.txt && sox in.wav -b 32 -e floating-point fir_out_r.wav remix 2 fir fir_r.txt && sox -M fir_out_l.wav fir_out_r.wav out_sox.wav"
  "sox in.wav -b 32 -e floating-point out_copy.wav"
)
count=${#names[@]}
# What each command writes; removed before every timed run, so that every command writes a new
# file (replacing one costs ext4 a forced write-out, on rename or truncate alike).
outputs=(out_q5.wav out_q3.wav out_fconvolver.wav out_fconvolver_default.wav out_afir.wav
  out_brutefir.raw "fir_out_l.wav fir_out_r.wav out_sox.wav" out_copy.wav)

echo "== Warm-up (page cache, brutefir's FFTW wisdom)"
for ((c = 0; c < count; ++c)); do : "${wall[c]:=}" "${cpu[c]:=}"; bash -c "${commands[c]}" 2>/dev/null; done

wall=(); cpu=()
loads=()
TIMEFORMAT='%3R %3U %3S'
for ((r = 0; r < runs; ++r)); do
  loads+=("$(cut -d' ' -f1 /proc/loadavg)")
  # Each run starts one command further on, so no command always follows the same one.
  for ((k = 0; k < count; ++k)); do
    c=$(((k + r) % count))
    # shellcheck disable=SC2086
    rm -f ${outputs[c]}
    t=$( { time bash -c "${commands[c]}" 2>/dev/null; } 2>&1 | tail -1)
    read -r real user sys <<<"$t"
    wall[$c]+="$real "
    cpu[$c]+="$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }') "
  done
  echo "   run $((r + 1))/$runs done (load ${loads[r]})"
done
loads+=("$(cut -d' ' -f1 /proc/loadavg)")

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# --- like for like: every peer against our quality 5 ------------------------------------------
raw() { sox -V1 "$1" -t raw -e floating-point -b 32 "$2"; }
raw out_q5.wav ref.raw
residual() {  # file offsets -> "dB gain offset frames"
  local f="$1" offsets="$2"
  case "$f" in *.raw) cp "$f" test.raw ;; *) raw "$f" test.raw ;; esac
  "$work/wave_diff" ref.raw test.raw 2 "$offsets"
}
check=()
check[1]=$(residual out_q3.wav 0)
check[2]=$(residual out_fconvolver.wav 0)
check[3]=$(residual out_fconvolver_default.wav 0)
check[4]=$(residual out_afir.wav 0)
check[5]=$(residual out_brutefir.raw 0,8192,-8192)
# SoX's fir takes (N-1)/2 samples of delay out.
check[6]=$(residual out_sox.wav "$(((frames_ir - 1) / 2)),$((frames_ir / 2))")
rm -f ref.raw test.raw

# --- table ------------------------------------------------------------------------------------
ref_wall=$(echo "${wall[2]}" | median)
printf '\n%s, %d runs each, alternating; load average %s .. %s (1 min, %s cores)\n' \
  "$(uname -n)" "$runs" "$(printf '%s\n' "${loads[@]}" | sort -g | head -1)" \
  "$(printf '%s\n' "${loads[@]}" | sort -g | tail -1)" "$(nproc)"
printf '%-16s %9s %9s %9s %9s %12s %9s\n' command "wall s" "cpu s" "/fconv-V" "x realtime" "residual dB" "gain dB"
for ((c = 0; c < count; ++c)); do
  w=$(echo "${wall[c]}" | median)
  u=$(echo "${cpu[c]}" | median)
  res="-"; gain="-"
  if [ -n "${check[$c]:-}" ]; then read -r res gain _ _ <<<"${check[$c]}"; fi
  [ "$c" -eq 0 ] && res="(ref)"
  awk -v n="${names[c]}" -v w="$w" -v u="$u" -v f="$ref_wall" -v r="$res" -v g="$gain" \
    'BEGIN { printf "%-16s %9.3f %9.3f %9.2f %9.0f %12s %9s\n", n, w, u, w / f, 60 / w, r, g }'
done

q5=$(echo "${wall[0]}" | median)
q3=$(echo "${wall[1]}" | median)
echo
awk -v a="$q5" -v b="$q3" -v f="$ref_wall" 'BEGIN {
  printf "target quality 5 <= 0.8 x fconvolver -V -T: %.2f  %s\n", a / f, (a <= 0.8 * f) ? "met" : "MISSED"
  printf "target quality 3 <= 0.45 x fconvolver -V -T: %.2f  %s\n", b / f, (b <= 0.45 * f) ? "met" : "MISSED" }'

# --- memory -----------------------------------------------------------------------------------
# The engine's buffers for this impulse (float stream, stereo in and out, dry off, no delay), as
# PrepareImpulse sizes them: N = (power of two >= 2L - 1) / (rateDivisor x blockDivisor);
# impulseSpectrum 2 x max(N, L), block 2 x N, overlap 2 x N/2, pcm scratch 2 x 2048 floats; and
# the FFT setup's float tables (stage twiddles ~M, split factors M/2 complex values, M = N/2) and
# the N floats of its scratch that the engine's transforms use (the scratch holds N doubles' worth,
# for the stereo transforms, which the engine does not run). A float stream's setup holds no
# double tables.
# The render's memory is its peak RSS less the RSS of the same program doing nothing.
echo
base_kb=$(/usr/bin/time -f '%M' "$auralith" --help 2>&1 >/dev/null | tail -1)
printf '%-10s %7s %11s %12s %11s %8s\n' render N "buffers MB" "max RSS MB" "render MB" "/buffers"
for q in 5 3; do
  if [ "$q" -eq 5 ]; then part=1; else part=4; fi
  rss_kb=$(/usr/bin/time -f '%M' "$auralith" process in.wav out_mem.wav --impulse ir.wav \
    --quality "$q" --quiet 2>&1 | tail -1)
  awk -v L="$frames_ir" -v part="$part" -v rss="$rss_kb" -v base="$base_kb" -v q="$q" 'BEGIN {
    p = 1; while (p < 2 * L - 1) p *= 2; n = p / part; if (n < 16) n = 16; m = n / 2
    tw = 0; for (s = m; s >= 4; s /= 4) tw += 3 * (s / 4); if (tw == 0) tw = 1
    cap = n; if (L > cap) cap = L
    samples = 2 * cap + 2 * n + 2 * (n / 2) + 2 * 2048
    fft = 2 * tw + 2 * (m / 2) + n           # floats: twiddles, split factors, scratch
    need = 4 * (samples + fft)
    own = (rss - base) * 1024
    printf "%-10s %7d %11.1f %12.1f %11.1f %8.2f  %s\n", "quality " q, n, need / 1048576,
      rss / 1024, own / 1048576, own / need, (own <= 1.5 * need) ? "met (<= 1.5)" : "MISSED (> 1.5)" }'
done
echo "(max RSS of 'auralith --help': $(awk -v k="$base_kb" 'BEGIN { printf "%.1f", k / 1024 }') MB)"
rm -f out_mem.wav
