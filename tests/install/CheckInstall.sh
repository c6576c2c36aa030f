#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a desktop and a package manager
# will read from it: the desktop entry, the software-centre metadata, the icon, the manual
# page and the completions, and that they agree with the executable and with each other.
#
#   CheckInstall.sh BUILD_DIR PROJECT_VERSION
set -uo pipefail
build_dir="$1" version="$2"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# Runs a checker and fails with its output when it complains on either stream.
quiet() { local out; out="$("$@" 2>&1)" && [[ -z "$out" ]] || fail "$* said: ${out:-(exit $?)}"; }

cmake --install "$build_dir" --prefix "$prefix" >/dev/null ||
    { echo "FAIL: cmake --install (build every target first)" >&2; exit 1; }
share="$prefix/share"
desktop="$share/applications/app.vesko.Vesko.desktop"
metainfo="$share/metainfo/app.vesko.Vesko.metainfo.xml"
icon="$share/icons/hicolor/scalable/apps/app.vesko.Vesko.svg"
man_page="$share/man/man1/vesko.1.gz"
bash_completion="$share/bash-completion/completions/vesko"
zsh_completion="$share/zsh/vendor-completions/_vesko"
fish_completion="$share/fish/vendor_completions.d/vesko.fish"
copyright="$share/doc/vesko/copyright"
changelog="$share/doc/vesko/changelog.gz"
for f in "$desktop" "$metainfo" "$icon" "$man_page" "$bash_completion" "$zsh_completion" \
         "$fish_completion" "$copyright" "$changelog"; do
    [[ -s $f ]] || fail "not installed: ${f#"$prefix"/}"
done
gnome_provider="$share/gnome-shell/search-providers/app.vesko.Vesko.search-provider.ini"
krunner_plugin="$share/krunner/dbusplugins/vesko.desktop"
[[ -s $gnome_provider && -s $krunner_plugin ]] || fail "the launchers' provider files are not installed"
grep -qx "DesktopId=$(basename "$desktop")" "$gnome_provider" ||
    fail "the GNOME search provider names another desktop entry"
[[ -x $prefix/bin/vesko ]] || { fail "not installed: bin/vesko"; exit 1; }
[[ -x $prefix/lib/vesko/vesko-window ]] || fail "not installed: lib/vesko/vesko-window"
# The installed vesko finds the window's executable for the modes it hands over.
XDG_CONFIG_HOME="$prefix/config" XDG_CACHE_HOME="$prefix/cache" "$prefix/bin/vesko" --drift >/dev/null ||
    fail "vesko --drift, run by lib/vesko/vesko-window, exits with $?"

quiet desktop-file-validate "$desktop"
# "Search Here with Vesko": an Open With choice for folders in GNOME Files, a context-menu
# entry in Dolphin (a KDE service menu, which desktop-file-validate does not know), and the
# main entry never the folders' default opener.
search_here="$share/applications/app.vesko.Vesko.searchhere.desktop"
service_menu="$share/kio/servicemenus/app.vesko.Vesko.searchhere.desktop"
quiet desktop-file-validate "$search_here"
for f in "$search_here" "$service_menu"; do
    grep -qx 'Exec=vesko --search-in %f' "$f" && grep -qx 'MimeType=inode/directory;' "$f" &&
        grep -q '^Name\[ko\]=' "$f" || fail "$(basename "$f") does not search a folder in both languages"
done
grep -qx 'NoDisplay=true' "$search_here" || fail "Search Here shows in the application menu"
grep -qx 'Type=Service' "$service_menu" && grep -qx 'X-KDE-ServiceTypes=KonqPopupMenu/Plugin' "$service_menu" ||
    fail "the Dolphin service menu is not one"
! grep -q '^MimeType=.*inode/directory' "$desktop" || fail "the main entry claims folders"
out="$(appstreamcli validate --no-net --strict "$metainfo" 2>&1)" || fail "appstreamcli validate: $out"
grep -qx 'Exec=vesko' "$desktop" || fail "the desktop entry does not start the installed vesko"
grep -qx "Icon=$(basename "$icon" .svg)" "$desktop" || fail "the desktop entry names another icon"
grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" ||
    fail "the metadata launches another desktop entry"
grep -q "<release version=\"$version\"" "$metainfo" || fail "no release $version in the metadata"
[[ "$(zcat "$changelog" | head -1)" == "vesko ($version) "* ]] ||
    fail "the changelog's latest entry is not version $version"

if command -v xmllint >/dev/null; then
    quiet xmllint --noout "$icon"
else
    python3 -c 'import sys, xml.etree.ElementTree as t; sys.exit(not t.parse(sys.argv[1]).getroot().tag.endswith("svg"))' "$icon" ||
        fail "the icon is no SVG document"
fi
if command -v groff >/dev/null; then
    out="$(zcat "$man_page" | groff -man -Tutf8 -ww -z 2>&1)"
    [[ -z $out ]] || fail "groff on the manual page: $out"
fi

quiet bash -n "$bash_completion"
for shell in zsh fish; do
    command -v $shell >/dev/null || { echo "note: no $shell, its completion is not parsed"; continue; }
    file="${shell}_completion"
    quiet $shell -n "${!file}"
done

# Every option the executable lists is documented and completed.
help="$("$prefix/bin/vesko" --help)" || fail "vesko --help exits with $?"
manual="$(zcat "$man_page" | sed 's/\\-/-/g')"
for option in $(grep -o -- '--[a-z0-9-]*[a-z0-9]' <<<"$help" | sort -u); do
    grep -qwF -- "$option" <<<"$manual" || fail "the manual page lacks $option"
    for f in "$bash_completion" "$zsh_completion" "$fish_completion"; do
        grep -qwF -e "$option" -e "-l ${option#--}" "$f" || fail "$(basename "$f") lacks $option"
    done
done
if grep -q -- '--version' <<<"$help"; then
    [[ "$("$prefix/bin/vesko" --version)" == "vesko $version" ]] || fail "vesko --version is not $version"
fi

# The package as Debian's checker sees it: no error and no warning. A sanitizer build is never
# packaged (its executables need the sanitizers' run-time libraries).
sanitized="$(sed -n 's/^VESKO_SANITIZE:STRING=//p' "$build_dir/CMakeCache.txt")"
if [[ -n $sanitized ]]; then
    echo "note: a $sanitized sanitizer build, the package is not checked"
elif command -v lintian >/dev/null; then
    package_dir="$prefix/package"
    if cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$package_dir" >/dev/null 2>&1; then
        out="$(lintian --tag-display-limit 0 "$package_dir"/vesko_*.deb 2>&1 | grep -E '^[EW]: ')"
        [[ -z $out ]] || fail "lintian on the package: $out"
    else
        fail "cpack could not build the package"
    fi
else
    echo "note: no lintian, the package is not checked"
fi

((failures == 0)) || exit 1
echo "install tree complete and valid"
