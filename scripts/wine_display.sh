# Sourced by scripts that show windows under Wine: wine_display_start makes a temporary folder
# ($work) with a fresh Wine prefix, starts Xvfb on a free display with Wine's X11 driver, and
# copies the module, the page host and the tool into $work/bin; everything goes at exit.
# win_path PATH gives the Windows spelling of a path (drive Z:).
win_path() { printf 'Z:%s' "${1//\//\\}"; }

wine_display_start() {
  work=$(mktemp -d /tmp/auralith-screens.XXXXXX)
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -dpi 96 >/dev/null 2>&1 &
  xvfb_pid=$!
  trap wine_display_stop EXIT
  export DISPLAY=":$n" WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEARCH=win64
  export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
  echo "== Preparing the Wine prefix $WINEPREFIX on display $DISPLAY"
  wine wineboot --init >/dev/null 2>&1 || true
  # No window manager runs on the X server: Wine draws the title bars and frames itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
  mkdir -p "$work/bin"
  cp "$build_dir/module/auralith_x64.dll" "$build_dir/tests/windows/auralith_page_host.exe" \
    "$build_dir/tools/auralith.exe" "$work/bin/"
}

wine_display_stop() {
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
