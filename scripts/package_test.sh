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

work=$(mktemp -d /tmp/zentimo-package-test.XXXXXX)
trap 'umount -R "$work/merged" 2>/dev/null || true; rm -rf "$work"' EXIT

echo "== building the packages"
scripts/package.sh "$work/v1" >"$work/build-v1.log" 2>&1 || {
    tail -n 40 "$work/build-v1.log"
    echo "package test failed: the packages did not build"
    exit 1
}
# A rebuilt package with a higher version, for the upgrade.
ZEN_PACKAGE_VERSION=$(dpkg-parsechangelog -S Version)+rebuilt1 \
    scripts/package.sh "$work/v2" >"$work/build-v2.log" 2>&1 || {
    tail -n 40 "$work/build-v2.log"
    echo "package test failed: the rebuilt packages did not build"
    exit 1
}

echo "== lintian"
if command -v lintian >/dev/null; then
    lintian --fail-on error "$work"/v1/*.deb
else
    echo "lintian is not installed: not checked"
fi

# What booting a container needs: root, systemd-nspawn, an overlay of / and cgroup v2.
[ "$(id -u)" -eq 0 ] || skip "booting a container needs root"
command -v systemd-nspawn >/dev/null || skip "systemd-nspawn is not installed (systemd-container)"
[ "$(stat -fc %T /sys/fs/cgroup)" = cgroup2fs ] ||
    skip "this machine has no cgroup v2 hierarchy at /sys/fs/cgroup, which systemd in a container needs"
[ -x /lib/systemd/systemd ] || skip "this machine's root has no systemd to boot"
mkdir -p "$work/upper" "$work/overlay-work" "$work/merged"
mount -t overlay overlay -o "lowerdir=/,upperdir=$work/upper,workdir=$work/overlay-work" \
    "$work/merged" 2>"$work/mount.log" ||
    skip "an overlay of / cannot be mounted here: $(cat "$work/mount.log")"

# The packages and the check go into the container; the check runs as a unit at boot and
# powers the container off when done.
guest=$work/merged/zentimo-check
mkdir -p "$guest"
cp -r "$work/v1" "$work/v2" "$guest"/
cp "$source_dir/scripts/package_check.sh" "$guest"/check.sh
cat >"$work/merged/etc/systemd/system/zentimo-check.service" <<'UNIT'
[Unit]
Description=Zentimo package check
After=multi-user.target

[Service]
Type=oneshot
ExecStart=/bin/sh -c '/zentimo-check/check.sh >/zentimo-check/log 2>&1; echo $? >/zentimo-check/result; systemctl poweroff'

[Install]
WantedBy=multi-user.target
UNIT
mkdir -p "$work/merged/etc/systemd/system/multi-user.target.wants"
ln -sf ../zentimo-check.service "$work/merged/etc/systemd/system/multi-user.target.wants/"
# A machine that is set up for real would ignore the tests' roots; nothing of it may leak in.
rm -rf "$work/merged/etc/zentimo" "$work/merged/var/lib/zentimo"

echo "== booting the container"
timeout 360 systemd-nspawn --quiet --boot --private-network --register=no \
    --machine="zentimo-check-$$" --directory="$work/merged" >"$work/boot.log" 2>&1 || true
if [ ! -f "$guest/booted" ]; then
    skip "the container did not boot on this machine: $(tail -n 3 "$work/boot.log" | tr '\n' ' ')"
fi
cat "$guest/log"
if [ "$(cat "$guest/result" 2>/dev/null)" = 0 ]; then
    echo "package test passed"
    exit 0
fi
echo "package test failed"
exit 1
