# Sourced by the set-up, benchmark and fuzzing scripts: installs the Debian packages given
# as arguments that are not installed yet, as root or through sudo. The first argument is
# the caller's name for messages.
install_missing_packages() {
    local who="$1" missing=() p
    shift
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    echo "$who: installing ${missing[*]}" >&2
    local sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then
        command -v sudo >/dev/null || { echo "$who: need root or sudo to install ${missing[*]}" >&2; exit 1; }
        sudo_cmd=(sudo)
    fi
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
