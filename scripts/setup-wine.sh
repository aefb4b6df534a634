#!/usr/bin/env bash
# Makes this machine run 32-bit Windows programs headless under Wine, for the
# Windows tests. Idempotent and quick once done; needs root (re-runs itself
# with sudo otherwise). Run it after every boot: binfmt_misc registrations do
# not survive a reboot.
#
# What it sets up, all from Debian bookworm and bookworm-backports:
#   - the i386 architecture, Wine 8.0 (wine, wine32:i386, wine64), Xvfb and
#     ImageMagick (for the panel pictures, scripts/panel-screenshots.sh);
#   - only when the kernel cannot run 32-bit x86 programs itself: qemu-i386
#     from bookworm-backports (10.x; bookworm's 7.2 breaks Wine's start-up,
#     as it ignores MAP_FIXED_NOREPLACE), registered with binfmt_misc for
#     i386 ELF files, so that Wine's 32-bit loader runs under emulation.
# When the kernel runs 32-bit programs natively, any qemu-i386 registration
# is removed instead. The script ends by starting the 32-bit Wine loader.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
log() { echo "setup-wine: $*" >&2; }

if [[ $(id -u) -ne 0 ]]; then
    exec sudo --preserve-env=DEBIAN_FRONTEND bash "$(readlink -f "$0")" "$@"
fi

wine_packages=(wine wine32:i386 wine64 xvfb xauth imagemagick)
qemu_min_version=1:10.0
wine32_loader=/usr/lib/wine/wine
qemu=/usr/bin/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
backports_source=/etc/apt/sources.list.d/bookworm-backports.sources

log_tag=setup-wine
source "$(dirname "$(readlink -f "$0")")/apt.sh"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# 1. Packages for Wine.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
# The mirror that the machine's Debian source names (deb822 or one-line form).
debian_mirror() {
    local uri
    uri=$( (grep -hsE '^\s*URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}'
            grep -hsE '^\s*deb\s' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
                sed -E 's/\[[^]]*\]//' | awk '{print $2}') | grep -E '/debian/?$' | head -n 1) || true
    echo "${uri:-http://deb.debian.org/debian}"
}
if ! grep -rqs '^[^#]*bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    cat >"$backports_source" <<EOF
Types: deb
URIs: $(debian_mirror)
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
fi
missing=()
for package in "${wine_packages[@]}"; do
    installed "$package" || missing+=("$package")
done
if ((${#missing[@]})); then
    apt_refresh
    apt_install -- "${missing[@]}"
fi

# 2. Does the kernel run i386 programs itself? Asked with the qemu entries
#    switched off for the moment.
[[ -e $binfmt/register ]] || mount -t binfmt_misc binfmt_misc "$binfmt"
qemu_entries=(qemu-i386 qemu-i386d)
set_entries() { for e in "${qemu_entries[@]}"; do [[ -e $binfmt/$e ]] && echo "$1" >"$binfmt/$e"; done; true; }
set_entries 0
native=0
"$wine32_loader" --version >/dev/null 2>&1 && native=1
set_entries 1

if ((native)); then
    set_entries -1
    log "the kernel runs 32-bit programs natively; no emulator needed"
else
    # 3. qemu-i386 from backports, registered by us: Debian's qemu-user-binfmt
    #    does not register i386 on amd64 machines.
    version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
    if [[ -z $version ]] || dpkg --compare-versions "$version" lt "$qemu_min_version"; then
        qemu_packages=(qemu-user)
        # Installed companions of an older qemu-user are upgraded with it.
        for package in qemu-user-static qemu-user-binfmt; do
            installed "$package" && qemu_packages+=("$package")
        done
        apt_refresh
        apt_install -t bookworm-backports -- "${qemu_packages[@]}"
    fi
    [[ -x $qemu ]] || { log "$qemu is missing"; exit 1; }
    # Flag F opens the interpreter when the entry is registered, so an entry
    # from before an upgrade would keep the old binary: always re-register.
    set_entries -1
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::${magic}\\x02\\x00\\x03\\x00:${mask}:${qemu}:F" >"$binfmt/register"   # ET_EXEC
    echo ":qemu-i386d:M::${magic}\\x03\\x00\\x03\\x00:${mask}:${qemu}:F" >"$binfmt/register"  # ET_DYN
    log "i386 programs run under $($qemu --version | head -n 1)"
fi

"$wine32_loader" --version >/dev/null || { log "the 32-bit Wine loader does not start"; exit 1; }
log "ok: $("$wine32_loader" --version)"
