# Sourced by the build scripts. need_packages NAME PACKAGE...: installs the Debian packages that
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
