#!/usr/bin/env bash
# Builds the Debian packages, checks them with lintian, and tries them as an administrator
# would in a systemd-nspawn container booted from an overlay of this machine's root, with a
# private network: install, the unit's hold, a reinstall and an upgrade that keep the rules,
# remove and purge that leave nothing. The machine itself is never touched: the overlay's
# upper layer is a temporary folder. Exit 0 passed, 1 failed, 77 skipped (with the reason).
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD

skip() {
    echo "package test skipped: $*"
    exit 77
}

# What booting a container needs: root, systemd-nspawn, cgroup v2 and systemd on this root.
# Why not, when it cannot; the packages are still built and checked then.
container_unusable() {
    [ "$(id -u)" -eq 0 ] || { echo "booting a container needs root"; return; }
    command -v systemd-nspawn >/dev/null ||
        { echo "systemd-nspawn is not installed (systemd-container)"; return; }
    [ "$(stat -fc %T /sys/fs/cgroup)" = cgroup2fs ] ||
        { echo "this machine has no cgroup v2 hierarchy at /sys/fs/cgroup, which systemd in a container needs"; return; }
    [ -x /lib/systemd/systemd ] || echo "this machine's root has no systemd to boot"
}

# In a mount namespace of its own (so the machine's mounts never change): an overlay of /
# whose upper layer is in the work folder, booted with the packages and the check.
boot_container() {  # boot_container WORK
    local work=$1 merged=$1/merged
    mkdir -p "$work/upper" "$work/overlay-work" "$merged"
    mount -t overlay overlay -o "lowerdir=/,upperdir=$work/upper,workdir=$work/overlay-work" \
        "$merged" 2>"$work/mount.log" || return 0
    local guest=$merged/zentimo-check
    mkdir -p "$guest" "$merged/etc/systemd/system/multi-user.target.wants"
    cp -r "$work/v1" "$work/v2" "$guest"/
    cp "$source_dir/scripts/package_check.sh" "$guest"/check.sh
    # The check runs as a unit at boot and powers the container off when done.
    cat >"$merged/etc/systemd/system/zentimo-check.service" <<'UNIT'
[Unit]
Description=Zentimo package check
After=multi-user.target

[Service]
Type=oneshot
ExecStart=/bin/sh -c '/zentimo-check/check.sh >/zentimo-check/log 2>&1; echo $? >/zentimo-check/result; systemctl poweroff'

[Install]
WantedBy=multi-user.target
UNIT
    ln -sf ../zentimo-check.service "$merged/etc/systemd/system/multi-user.target.wants/"
    # Nothing of a real installation on this machine may leak into the container.
    rm -rf "$merged/etc/zentimo" "$merged/var/lib/zentimo"
    timeout 360 systemd-nspawn --quiet --boot --private-network --register=no \
        --machine="zentimo-check-$$" --directory="$merged" >"$work/boot.log" 2>&1 || true
    # What the check left, out of the overlay before it goes.
    cp -r "$guest" "$work/results"
}

if [ "${1:-}" = --boot ]; then
    boot_container "$2"
    exit 0
fi

unusable=$(container_unusable)
work=$(mktemp -d /tmp/zentimo-package-test.XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "== building the packages"
scripts/package.sh "$work/v1" >"$work/build-v1.log" 2>&1 || {
    tail -n 40 "$work/build-v1.log"
    echo "package test failed: the packages did not build"
    exit 1
}

echo "== lintian"
if command -v lintian >/dev/null; then
    lintian --fail-on error "$work"/v1/*.deb || {
        echo "package test failed: lintian found errors"
        exit 1
    }
else
    echo "lintian is not installed: not checked"
fi

[ -z "$unusable" ] || skip "$unusable"
# A rebuilt package with a higher version, for the upgrade.
ZEN_PACKAGE_VERSION=$(dpkg-parsechangelog -S Version)+rebuilt1 \
    scripts/package.sh "$work/v2" >"$work/build-v2.log" 2>&1 || {
    tail -n 40 "$work/build-v2.log"
    echo "package test failed: the rebuilt packages did not build"
    exit 1
}

echo "== booting the container"
unshare --mount --propagation private "$source_dir/scripts/package_test.sh" --boot "$work"
[ -f "$work/mount.log" ] && [ -s "$work/mount.log" ] &&
    skip "an overlay of / cannot be mounted here: $(cat "$work/mount.log")"
if [ ! -f "$work/results/booted" ]; then
    skip "the container did not boot on this machine: $(tail -n 3 "$work/boot.log" | tr '\n' ' ')"
fi
cat "$work/results/log"
if [ "$(cat "$work/results/result" 2>/dev/null)" = 0 ]; then
    echo "package test passed"
    exit 0
fi
echo "package test failed"
exit 1
