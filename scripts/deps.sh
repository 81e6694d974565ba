#!/usr/bin/env bash
# Installs what building and testing need from Debian's archive; does nothing when all is there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
    libssl-dev zlib1g-dev libzip-dev libpugixml-dev libsystemd-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    python3 python3-aiosmtpd python3-dbusmock dbus faketime p7zip-full openssl nodejs
    curl e2fsprogs util-linux
    qt6-base-dev libgl-dev fonts-liberation xvfb xauth
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
