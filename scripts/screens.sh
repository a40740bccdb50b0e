#!/usr/bin/env bash
# Screenshots of the property pages in the system's property frame, under Wine with an X server
# (Xvfb): every page, the about box, the Open dialog with its information panel, the progress
# window of a recovery and its message, as PNG files in docs/screens/ (or --out DIR).
#
# Builds what it needs with scripts/build-windows.sh (unless --no-build) and installs the
# packages it needs when run as root on Debian. Options:
#   --build-dir DIR   Windows build folder (default: build-win)
#   --out DIR         where the PNG files go (default: docs/screens)
#   --no-build        use what is built
#   --check           instead of screenshots, check each page's layout against its template and
#                     drive the real controls, reading the filter's parameters after each action
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$root/build-win"
out="$root/docs/screens"
build=1
mode=shots
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build_dir="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    --no-build) build=0; shift ;;
    --check) mode=check; shift ;;
    -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "screens.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
done

source "$root/scripts/packages.sh"
need_packages screens.sh xvfb imagemagick wine wine64 python3
if [ "$build" -eq 1 ]; then
  "$root/scripts/build-windows.sh" --build-dir "$build_dir" --target auralith_plugin \
    --target auralith_page_host --target auralith
fi

source "$root/scripts/wine_display.sh"
wine_display_start

# Inside the prefix, so that the pages show a short, stable path (C:\Impulses\hall.wav).
fixtures="$WINEPREFIX/drive_c/Impulses"
mkdir -p "$fixtures" "$work/shots"
python3 "$root/scripts/page_fixtures.py" "$fixtures"
# The recovery test tones, made by the tool itself.
wine "$work/bin/auralith.exe" test-tone 'C:\Impulses\tone.wav' --order 16 >/dev/null
wine "$work/bin/auralith.exe" test-tone 'C:\Impulses\big.wav' --order 21 >/dev/null

status=0
if [ "$mode" = check ]; then
  echo "== The pages in the property frame: layout and the user's actions"
  (cd "$work/bin" && timeout 300 wine auralith_page_host.exe check 'C:\Impulses') | tr -d '\r' ||
    status=$?
  exit "$status"
fi
echo "== Shooting"
(cd "$work/bin" && timeout 300 wine auralith_page_host.exe shots "$(win_path "$work/shots")" \
  'C:\Impulses') | tr -d '\r' || status=$?

mkdir -p "$out"
for shot in "$work"/shots/*.bmp; do
  convert "$shot" "$out/$(basename "$shot" .bmp).png" || status=1
done
echo "== $(ls "$work"/shots/*.bmp | wc -l) screenshots in $out"
exit "$status"
