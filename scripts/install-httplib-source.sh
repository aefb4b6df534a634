#!/usr/bin/env bash
# Unpacks Debian's source package of cpp-httplib, with Debian's patches
# applied, and keeps its header-only httplib.h and its LICENSE in
# build/third_party/cpp-httplib (or $MORVANE_HTTPLIB_SOURCE): the Windows
# build serves the viewer with that header. The version is the one of the
# native build's libcpp-httplib-dev (installed, else apt's candidate), so
# that both builds serve with the same code. Nothing happens when that
# version is there already.
#
# apt fetches the package, and checks every file's hashes against the
# signed index of the machine's own Debian mirror and suites, read here
# with deb-src lines in folders of this script's own: the machine's apt
# sources, lists and cache stay as they are. An index that cannot be read
# is a warning (scripts/apt.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dest=${MORVANE_HTTPLIB_SOURCE:-$root/build/third_party/cpp-httplib}
log_tag=install-httplib-source

wanted=$(dpkg-query -W -f='${Version}' libcpp-httplib-dev 2>/dev/null || true)
if [[ -z $wanted ]]; then
    wanted=$(apt-cache policy libcpp-httplib-dev 2>/dev/null | awk '$1 == "Candidate:" && $2 != "(none)" { print $2 }')
fi
if [[ -n $wanted && -f $dest/httplib.h && "$(cat "$dest/VERSION" 2>/dev/null)" == "$wanted" ]]; then
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sources" "$work/lists/partial" "$work/cache/archives/partial" "$work/package"
# The machine's Debian sources (deb822 and one-line), as deb-src.
for file in /etc/apt/sources.list.d/*.sources; do
    [[ -f $file ]] && awk 'BEGIN { RS = ""; ORS = "\n\n" }
        /(^|\n)URIs:[^\n]*\/debian(-security)?\/?([ \t\n]|$)/ { sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' \
        "$file" >"$work/sources/$(basename "$file")"
done
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [[ -f $file ]] && sed -nE 's#^deb(\s+\[[^]]*\])?\s+(\S+/debian(-security)?/?\s.*)#deb-src\1 \2#p' "$file" \
        >>"$work/sources/machine.list"
done
cat >"$work/apt.conf" <<EOF
Dir::Etc::sourceparts "$work/sources";
Dir::Etc::sourcelist "/dev/null";
Dir::State::Lists "$work/lists";
Dir::Cache "$work/cache";
APT::Sandbox::User "root";
EOF
export APT_CONFIG=$work/apt.conf
source "$(dirname "$0")/apt.sh"
apt_refresh

cd "$work/package"
if ! apt_get source -qq --download-only "cpp-httplib${wanted:+=$wanted}" >"$work/log" 2>&1; then
    cat "$work/log" >&2
    apt_log "apt cannot fetch the source of cpp-httplib${wanted:+ $wanted}"
    exit 1
fi
dsc=$(ls ./*.dsc)
# apt checked the files against the index; dpkg-source checks them against
# the .dsc as it unpacks (the maintainer's signature needs a keyring that
# apt's chain of hashes makes unnecessary).
if ! dpkg-source -x "$dsc" unpacked >"$work/log" 2>&1; then
    cat "$work/log" >&2
    apt_log "cannot unpack $dsc"
    exit 1
fi
version=$(sed -nE 's/^Version: (.*)/\1/p' "$dsc")
rm -rf "$dest"
mkdir -p "$dest"
cp unpacked/httplib.h unpacked/LICENSE "$dest/"
echo "$version" >"$dest/VERSION"
apt_log "cpp-httplib $version (Debian's source, checked by apt) in $dest"
