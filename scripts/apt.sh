# Installing Debian packages through a registry that may serve a broken
# index; sourced by install-deps.sh and setup-wine.sh, which set $log_tag.
#
#   apt_refresh          apt-get update, retried; an index that cannot be
#                        read is a warning, remembered in $apt_unreadable
#   apt_install [OPTION...] -- PKG...
#                        installs PKG... (apt-get install OPTIONs, such as
#                        -t SUITE), never removing a package
#
# apt_install first asks apt for a plan (a simulation) with the machine's
# sources. When none exists and an index could not be read (the registry has
# served the security suite's i386 index at the wrong size for days), it
# plans again without the suites of the unreadable indexes, so that amd64 and
# i386 come at the same versions. Installed packages that would then have to
# be removed (Multi-Arch libraries at a version the other architecture cannot
# have) are moved to the newest version those sources hold instead. The real
# install always runs with --no-remove. A plan that downgrades an installed
# package is never carried out silently: each is named on the terminal, and
# MORVANE_APT_NO_DOWNGRADE=1 refuses it (the packages asked for then stay
# missing).

apt_sudo=()
[[ $(id -u) -eq 0 ]] || apt_sudo=(sudo)
apt_unreadable=()     # "URI SUITE" of each index apt-get update could not read
apt_sources_dir=""    # the machine's sources without those suites, once made

apt_log() { echo "${log_tag:-apt}: $*" >&2; }

apt_get() { DEBIAN_FRONTEND=noninteractive "${apt_sudo[@]}" apt-get "$@"; }

apt_refresh() {
    local attempt errors
    errors=$(mktemp)
    for attempt in 1 2 3; do
        if apt_get update -qq 2>"$errors"; then
            apt_unreadable=()
            rm -f "$errors"
            return 0
        fi
        # Only a failed index is worth going on without; anything else
        # (no network, a lock) is retried and then fatal.
        mapfile -t apt_unreadable < <(sed -nE 's#^[EW]: Failed to fetch ([^ ]+)/dists/([^/ ]+)/.*#\1 \2#p' "$errors" | sort -u)
        ((${#apt_unreadable[@]})) && break
        sleep $((attempt * 5))
    done
    if ((${#apt_unreadable[@]} == 0)); then
        cat "$errors" >&2
        rm -f "$errors"
        apt_log "apt-get update failed three times"
        return 1
    fi
    apt_log "warning: going on without the index of ${apt_unreadable[*]}, which cannot be read:" \
        "$(grep -m1 -oE 'Failed to fetch [^ ]+ +[^[]*' "$errors" | tr -s ' ' | sed "s/ *$//")"
    rm -f "$errors"
}

# The machine's deb822 and one-line sources without the unreadable suites,
# as a folder for Dir::Etc::sourceparts (Dir::Etc::sourcelist then empty).
apt_sources_without_unreadable() {
    [[ -n $apt_sources_dir ]] && return 0
    apt_sources_dir=$(mktemp -d)
    trap 'rm -rf "$apt_sources_dir"' EXIT
    local file entry uri suite
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [[ -f $file ]] || continue
        cp "$file" "$apt_sources_dir/$(basename "$file")"
        [[ $file == /etc/apt/sources.list ]] && mv "$apt_sources_dir/sources.list" "$apt_sources_dir/main.list"
    done
    for entry in "${apt_unreadable[@]}"; do
        uri=${entry% *} suite=${entry#* }
        for file in "$apt_sources_dir"/*.list; do
            [[ -f $file ]] && awk -v uri="$uri" -v suite="$suite" '
                { line = $0; sub(/\[[^]]*\]/, "", line); split(line, f, " ") }
                !(f[1] ~ /^deb/ && f[2] == uri && f[3] == suite)' "$file" >"$file.new" && mv "$file.new" "$file"
        done
        for file in "$apt_sources_dir"/*.sources; do
            [[ -f $file ]] && awk -v uri="$uri" -v suite="$suite" '
                BEGIN { RS = ""; ORS = "\n\n" }
                {
                    n = split($0, lines, "\n"); ours = 0; out = ""; left = 1
                    for (i = 1; i <= n; i++) if (lines[i] ~ "^URIs:.*[ \t]" uri "/?([ \t]|$)") ours = 1
                    for (i = 1; i <= n; i++) {
                        if (ours && lines[i] ~ /^Suites:/) {
                            m = split(lines[i], s, /[ \t]+/); kept = "Suites:"; left = 0
                            for (j = 2; j <= m; j++) if (s[j] != suite && s[j] != "") { kept = kept " " s[j]; left++ }
                            lines[i] = kept
                        }
                        out = out (i > 1 ? "\n" : "") lines[i]
                    }
                    if (left) print out
                }' "$file" >"$file.new" && mv "$file.new" "$file"
        done
    done
}

# apt_plan ARG...: apt-get install's simulation; prints apt's output.
apt_plan() { apt_get install -s -y "$@" 2>&1; }

apt_install() {
    local options=()
    while [[ $1 != -- ]]; do options+=("$1"); shift; done
    shift
    local packages=("$@") plan
    if plan=$(apt_plan "${options[@]}" --no-remove "${packages[@]}"); then
        apt_get install -y -qq "${options[@]}" --no-remove "${packages[@]}"
        apt_log "installed ${packages[*]}"
        return 0
    fi
    if ((${#apt_unreadable[@]} == 0)); then
        echo "$plan" | grep -E '^(E:| )' >&2
        apt_log "apt cannot install ${packages[*]}"
        return 1
    fi
    apt_sources_without_unreadable
    local sources=(-o "Dir::Etc::sourceparts=$apt_sources_dir" -o "Dir::Etc::sourcelist=/dev/null")
    options+=("${sources[@]}")
    # Whatever this plan would remove is kept at the newest version that the
    # reduced sources hold instead; moving one package may move others.
    local removed moved=() package version round
    for round in 1 2 3 4; do
        if plan=$(apt_plan "${options[@]}" --no-remove --allow-downgrades "${packages[@]}" "${moved[@]}"); then
            break
        fi
        mapfile -t removed < <(apt_plan "${options[@]}" --allow-downgrades "${packages[@]}" "${moved[@]}" |
            sed -nE 's/^Remv ([^ ]+) .*/\1/p')
        ((${#removed[@]})) || break
        for package in "${removed[@]}"; do
            version=$(apt-cache "${sources[@]}" madison "$package" | awk 'NR == 1 { print $3 }')
            if [[ -z $version ]]; then
                apt_log "installing ${packages[*]} would remove $package, which no readable index holds"
                return 1
            fi
            moved+=("$package=$version")
        done
    done
    if ! plan=$(apt_plan "${options[@]}" --no-remove --allow-downgrades "${packages[@]}" "${moved[@]}"); then
        echo "$plan" | grep -E '^(E:| )' >&2
        apt_log "apt cannot install ${packages[*]}, with or without ${apt_unreadable[*]}"
        return 1
    fi
    local downgrades
    downgrades=$(apt_downgrades "$plan")
    if [[ -n $downgrades ]]; then
        apt_log "WARNING: with ${apt_unreadable[*]} unreadable, installing ${packages[*]} means DOWNGRADING" \
            "installed packages to the versions both architectures have (each loses the fixes, security" \
            "fixes among them, of its newer version until 'apt-get upgrade' runs with every index readable):"
        echo "$downgrades" | sed "s/^/${log_tag:-apt}:     /" >&2
        if [[ ${MORVANE_APT_NO_DOWNGRADE:-} == 1 ]]; then
            apt_log "nothing installed (MORVANE_APT_NO_DOWNGRADE=1): ${packages[*]} stay missing"
            return 1
        fi
    fi
    apt_get install -y -qq "${options[@]}" --no-remove --allow-downgrades "${packages[@]}" "${moved[@]}"
    apt_log "installed ${packages[*]} without ${apt_unreadable[*]}${downgrades:+; downgraded as listed above}"
}

# apt_downgrades PLAN: "PACKAGE OLD -> NEW", one a line, for each package
# that the simulated plan installs at a lower version than the installed one.
apt_downgrades() {
    local package old new
    while read -r package old new; do
        dpkg --compare-versions "$new" lt "$old" && echo "$package $old -> $new"
    done < <(echo "$1" | sed -nE 's/^Inst ([^ ]+) \[([^]]+)\] \(([^ ]+) .*/\1 \2 \3/p')
    true
}
