#!/usr/bin/env bash
# Builds the Debian packages zentimo and zentimo-panel with Debian's own tools, from a copy of
# the repository outside it (its build folders are left alone), into DIR (default dist/).
#   scripts/package.sh [DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-dist}")

scripts/deps.sh build

# Fixed folders, so that a second build (another version, say) finds its objects in ccache.
work=${ZEN_PACKAGE_WORK:-/tmp/zentimo-package}
source_dir=$work/zentimo
rm -rf "$work"
mkdir -p "$source_dir" "$out"
tar --exclude='./build*' --exclude=./dist --exclude=./.git --exclude='__pycache__' -cf - . |
    tar -xf - -C "$source_dir"
# A rebuild with another version (an upgrade to try) says so in its copy's changelog.
if [ -n "${ZEN_PACKAGE_VERSION:-}" ]; then
    sed -i "1s/(.*)/($ZEN_PACKAGE_VERSION)/" "$source_dir/debian/changelog"
fi
if command -v ccache >/dev/null; then
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
    export CCACHE_BASEDIR=$work
fi
(cd "$source_dir" && DEB_BUILD_OPTIONS="parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}" \
    dpkg-buildpackage -us -uc -b)
mv "$work"/*.deb "$out"/
rm -rf "$work"
ls "$out"/*.deb
