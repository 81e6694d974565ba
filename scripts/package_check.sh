#!/bin/sh
# Runs inside the container booted by scripts/package_test.sh: the administrator's life with
# the packages, each step checked. Exit 0 when every check held.
set -eu
cd /zentimo-check
touch booted
export DEBIAN_FRONTEND=noninteractive

fail() {
    echo "FAILED: $*"
    exit 1
}
main_pid() { systemctl show -p MainPID --value zensvc.service; }
# Waits up to $1 tenths of a second for the service to run under another pid than $2.
restarted_within() {
    i=0
    while [ "$i" -lt "$1" ]; do
        pid=$(main_pid)
        [ "$pid" != 0 ] && [ "$pid" != "$2" ] && systemctl is-active -q zensvc.service && return 0
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}
rules_kept() {
    zenctl users | grep -q '^Kids ' || fail "the group Kids is gone after $1"
    zenctl options | grep -q '^passwordSet: yes' || fail "the password is gone after $1"
    grep -q '/zentimo/libzensp.so$' /etc/ld.so.preload || fail "no preload line after $1"
    systemctl is-active -q zensvc.service || fail "the service is not active after $1"
}

echo "== install"
apt-get install -y -q ./v1/*.deb || fail "apt install"
systemctl is-active -q zensvc.service || fail "the service is not active"
[ "$(systemctl show -p Type --value zensvc.service)" = notify ] || fail "the unit is not Type=notify"
systemctl stop zensvc.service 2>/dev/null && fail "systemctl stop was not refused"
systemctl is-active -q zensvc.service || fail "the service stopped"
before=$(main_pid)
kill -9 "$before"
restarted_within 20 "$before" || fail "no restart within 2 s of a kill -9"
grep -q '/zentimo/libzensp.so$' /etc/ld.so.preload || fail "no preload line"

zenctl group add Kids
printf 'secret\n' >/root/new-password
zenctl password --new-password-file /root/new-password
rm /root/new-password

echo "== reinstall"
apt-get install -y -q --reinstall ./v1/*.deb || fail "apt install --reinstall"
rules_kept "a reinstall"

echo "== upgrade"
before=$(main_pid)
apt-get install -y -q ./v2/*.deb || fail "the upgrade"
restarted_within 50 "$before" || fail "the service did not restart into the new program"
rules_kept "an upgrade"

echo "== remove and purge"
files=$(dpkg -L zentimo zentimo-panel | sort -u)
apt-get remove -y -q zentimo-panel zentimo || fail "apt remove"
grep -qs 'zentimo' /etc/ld.so.preload && fail "the preload line is left after the removal"
systemctl is-active -q zensvc.service && fail "the service runs after the removal"
apt-get purge -y -q zentimo-panel zentimo || fail "apt purge"
for file in $files; do
    [ -d "$file" ] && continue
    [ -e "$file" ] && fail "$file is left after the purge"
done
for left in /var/lib/zentimo /var/backups/zentimo /etc/zentimo /var/log/zen-err.log \
    /etc/xdg/autostart/zencp.desktop; do
    [ -e "$left" ] && fail "$left is left after the purge"
done
grep -qs 'zentimo' /etc/ld.so.preload && fail "a preload line is left after the purge"
if command -v nft >/dev/null; then
    nft list table inet zentimo >/dev/null 2>&1 && fail "the nftables table is left"
fi
echo "every check held"
