#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need (as root).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    clang-14 libclang-rt-14-dev clang-format-14
    libgtest-dev libgmock-dev libbenchmark-dev
    firebird-dev libfbclient2 firebird3.0-server firebird3.0-utils
    qt6-base-dev
    libgdiplus
    cups cups-client cups-bsd libcups2-dev
    poppler-utils xvfb xauth
    fonts-dejavu-core fonts-liberation2
    locales
)

sudo_if_needed() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "firebird3.0-server shared/firebird/sysdba_password/first_install password cellarbox" |
        sudo_if_needed debconf-set-selections
    sudo_if_needed apt-get update
    sudo_if_needed env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The end-to-end tests run the program under a Brazilian locale.
if ! locale -a 2>/dev/null | grep -qi '^pt_BR\.utf8$'; then
    sudo_if_needed sed -i 's/^# *\(pt_BR.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^pt_BR.UTF-8 UTF-8' /etc/locale.gen ||
        echo 'pt_BR.UTF-8 UTF-8' | sudo_if_needed tee -a /etc/locale.gen >/dev/null
    sudo_if_needed locale-gen >/dev/null
fi
