# Sourced by the build and test scripts.
#
# need_packages NAME PACKAGE...: installs the Debian packages that
# are missing when run as root with apt-get; otherwise names them and fails (returns 1).
need_packages() {
  local tool="$1"
  shift
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    echo "== Installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "$tool: missing packages: ${missing[*]} (install them, or run as root on Debian)" >&2
    return 1
  fi
}

# wine_work NAME: a fresh work folder /tmp/auralith-NAME.XXXXXX in $work with a Wine prefix of its
# own in $prefix (64-bit, quiet, no Mono or Gecko prompts), both removed at exit unless $keep is 1.
wine_work() {
  work=$(mktemp -d "/tmp/auralith-$1.XXXXXX")
  prefix="$work/wine-prefix"
  trap wine_work_cleanup EXIT
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
  export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
}
wine_work_cleanup() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  if [ "${keep:-0}" -eq 1 ]; then echo "kept $work"; else rm -rf "$work"; fi
}
