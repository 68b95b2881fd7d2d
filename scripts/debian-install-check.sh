#!/usr/bin/env bash
# Installs the Debian package into a clean root of this machine's Debian release (12
# bookworm or 13 trixie: a package's dependencies are those of the release it was built on)
# made with debootstrap, the way a user would (apt-get install ./veltro12_*.deb, which pulls its dependencies), then runs the
# installed programs there. Needs root and a Debian mirror; slow, so not part of test.sh.
#
#   bash scripts/debian-install-check.sh [PACKAGE.deb]     (default: the one in build/)
#
# PYLON_CHROOT (default /tmp/veltro12-RELEASE) is made afresh and removed afterwards
# (PYLON_KEEP_CHROOT=1 keeps it); PYLON_DEBIAN_MIRROR picks the mirror. Packages this
# machine's apt has already downloaded are reused instead of fetched again.
set -euo pipefail
cd "$(dirname "$0")/.."
deb="${1:-$(ls build/veltro12_*.deb 2>/dev/null | head -1)}"
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "debian-install-check: no package; build one with scripts/package.sh" >&2
  exit 1
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "debian-install-check: needs root (debootstrap, chroot)" >&2
  exit 1
fi
command -v debootstrap >/dev/null || bash scripts/setup.sh

release="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
[ -n "$release" ] || { echo "debian-install-check: /etc/os-release names no release" >&2; exit 1; }
release="${PYLON_DEBIAN_RELEASE:-$release}"
root="${PYLON_CHROOT:-/tmp/veltro12-$release}"
mirror="${PYLON_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
cache="${PYLON_DEBOOTSTRAP_CACHE:-/var/cache/veltro12-debootstrap}"

cleanup() {
  umount "$root/proc" 2>/dev/null || true
  if [ "${PYLON_KEEP_CHROOT:-0}" != 1 ]; then rm -rf "$root"; fi
}
trap cleanup EXIT
rm -rf "$root"
mkdir -p "$root" "$cache"

# Seed the download caches with what apt already holds here (hard links; checksums are
# verified against the mirror's indexes before anything is used).
seed() { find /var/cache/apt/archives -maxdepth 1 -name '*.deb' -exec cp -l -n {} "$1"/ \; 2>/dev/null || true; }
seed "$cache"

echo "debian-install-check: debootstrap $release into $root"
debootstrap --variant=minbase --cache-dir="$cache" "$release" "$root" "$mirror" > "$root.debootstrap.log" 2>&1 ||
  { tail -20 "$root.debootstrap.log"; exit 1; }
mount -t proc proc "$root/proc"
mkdir -p "$root/var/cache/apt/archives"
seed "$root/var/cache/apt/archives"

cp "$deb" "$root/tmp/"
name="$(basename "$deb")"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }
in_root apt-get update -q
in_root apt-get install -y -q --no-install-recommends "/tmp/$name"
echo "debian-install-check: installed; dpkg -L veltro12:"
in_root dpkg -L veltro12
echo "debian-install-check: veltro12 --version in the clean root:"
in_root veltro12 --version
in_root pylon --version
in_root test -f /usr/share/veltro12/data.zip
# With no display the player stops at the screen, after the archive check: reaching it from
# the root folder means /usr/bin/veltro12 found /usr/share/veltro12/data.zip.
echo "debian-install-check: veltro12 --no-dialog without a display, from /:"
started="$(in_root sh -c 'cd / && veltro12 --no-dialog 2>&1' || true)"
echo "$started"
case "$started" in
  *"Data file not found."*) echo "debian-install-check: the installed player did not find its archive" >&2; exit 1 ;;
  *"Screen::init"*) ;;
  *) echo "debian-install-check: unexpected start-up" >&2; exit 1 ;;
esac
echo "debian-install-check: OK"
