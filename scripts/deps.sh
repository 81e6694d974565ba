#!/usr/bin/env bash
# Installs from Debian's archive what building (and testing) needs; does nothing when all is
# there.
#   scripts/deps.sh build   what the programs and the Debian packages are built with
#   scripts/deps.sh test    what the test suite needs besides (run by scripts/test.sh)
#   scripts/deps.sh         both
set -euo pipefail

build_packages=(
    build-essential cmake ninja-build pkg-config dpkg-dev debhelper
    libssl-dev zlib1g-dev libzip-dev libpugixml-dev libsystemd-dev libnftables-dev
    qt6-base-dev libgl-dev
)
test_packages=(
    clang libclang-rt-14-dev clang-format nftables
    libgtest-dev libgmock-dev libbenchmark-dev
    python3 python3-aiosmtpd python3-dbusmock dbus faketime p7zip-full openssl nodejs
    curl e2fsprogs util-linux
    fonts-liberation xvfb xauth
    lintian desktop-file-utils appstream man-db bash-completion systemd-container
)

case ${1:-all} in
build) packages=("${build_packages[@]}") ;;
test) packages=("${test_packages[@]}") ;;
all) packages=("${build_packages[@]}" "${test_packages[@]}") ;;
*) echo "usage: scripts/deps.sh [build|test]" >&2; exit 2 ;;
esac

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
