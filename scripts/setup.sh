#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that are missing.
# Sourced by run.sh and test.sh; runs apt-get only when something is missing.
set -euo pipefail

quorvex_install_packages() {
    local root list missing=()
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    list="$root/scripts/packages.txt"
    while read -r pkg; do
        [[ -z "$pkg" || "$pkg" == \#* ]] && continue
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done < "$list"
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

quorvex_install_packages
