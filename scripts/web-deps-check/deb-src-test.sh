#!/usr/bin/env bash
# Checks which deb-src entries scripts/web-deps.sh adds for the apt configurations of Debian 12
# and 13 machines (deb822 and one-line forms, third-party repositories, disabled stanzas,
# sources already present), through its --print-deb-src mode on made-up /etc/apt trees.
set -euo pipefail
SCRIPT="$(cd "$(dirname "$0")/.." && pwd)/web-deps.sh"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
passed=0
failed=0

# case NAME CODENAME EXPECTED-RC: runs on $WORK/NAME/apt and compares with $WORK/NAME/expected.
case_() {
  local name="$1" codename="$2" want_rc="$3" rc=0
  printf 'VERSION_CODENAME=%s\n' "$codename" > "$WORK/$name/os-release"
  WEB_DEPS_APT_ETC="$WORK/$name/apt" WEB_DEPS_OS_RELEASE="$WORK/$name/os-release" \
    bash "$SCRIPT" --print-deb-src > "$WORK/$name/got" 2>&1 || rc=$?
  sed -i "s|$WORK/$name/apt|APT|g" "$WORK/$name/got"
  if [ "$rc" = "$want_rc" ] && diff -u "$WORK/$name/expected" "$WORK/$name/got"; then
    echo "ok: $name"; passed=$((passed + 1))
  else
    echo "FAILED: $name (exit $rc, wanted $want_rc)"; failed=$((failed + 1))
  fi
}

setup() { mkdir -p "$WORK/$1/apt/sources.list.d"; }

# Debian 12 cloud image: deb822 with the security archive, beside third-party repositories in
# both forms, which have no sources to offer.
setup bookworm
cat > "$WORK/bookworm/apt/sources.list.d/debian.sources" << 'EOF'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
# the security archive
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
cat > "$WORK/bookworm/apt/sources.list.d/nodesource.sources" << 'EOF'
Types: deb
URIs: https://deb.nodesource.com/node_20.x
Suites: nodistro
Components: main
EOF
echo "deb https://packages.cloud.google.com/apt cloud-sdk-bookworm main" > "$WORK/bookworm/apt/sources.list.d/google.list"
cat > "$WORK/bookworm/expected" << 'EOF'
== APT/sources.list.d/pylon-web-deps-src.sources
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
case_ bookworm bookworm 0

# Debian 13: deb822 with several components, an inline key continued over lines, and a
# disabled stanza that must stay off.
setup trixie
cat > "$WORK/trixie/apt/sources.list.d/debian.sources" << 'EOF'
Types: deb
URIs: http://deb.debian.org/debian
Suites: trixie trixie-updates
Components: main contrib non-free-firmware
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL0BUBEADmW5NdOOHwPIJlgPu6JDcKw/NZJPR8lsD3K87ZM18gzyQZJD+w
 -----END PGP PUBLIC KEY BLOCK-----

Types: deb
URIs: http://deb.debian.org/debian
Suites: trixie-backports
Components: main
Enabled: no
EOF
cat > "$WORK/trixie/expected" << 'EOF'
== APT/sources.list.d/pylon-web-deps-src.sources
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: trixie trixie-updates
Components: main contrib non-free-firmware
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL0BUBEADmW5NdOOHwPIJlgPu6JDcKw/NZJPR8lsD3K87ZM18gzyQZJD+w
 -----END PGP PUBLIC KEY BLOCK-----
EOF
case_ trixie trixie 0

# Debian 12 upgraded from older releases: a one-line sources.list, with options, comments and
# a commented-out deb-src line that stays as it is.
setup oneline
cat > "$WORK/oneline/apt/sources.list" << 'EOF'
# deb cdrom:[Debian GNU/Linux 12.0.0]/ bookworm main
deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://ftp.de.debian.org/debian/ bookworm main
# deb-src http://ftp.de.debian.org/debian/ bookworm main
deb http://security.debian.org/debian-security bookworm-security main
deb http://ftp.de.debian.org/debian/ trixie main
EOF
cat > "$WORK/oneline/expected" << 'EOF'
== APT/sources.list.d/pylon-web-deps-src.list
deb-src [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://ftp.de.debian.org/debian/ bookworm main
deb-src http://security.debian.org/debian-security bookworm-security main
EOF
case_ oneline bookworm 0

# Sources already configured (Types: deb deb-src): nothing is added.
setup present
cat > "$WORK/present/apt/sources.list.d/debian.sources" << 'EOF'
Types: deb deb-src
URIs: http://deb.debian.org/debian
Suites: trixie
Components: main
EOF
echo "deb-src entries for trixie already configured" > "$WORK/present/expected"
case_ present trixie 0

setup present-oneline
printf 'deb http://deb.debian.org/debian bookworm main\ndeb-src [trusted=no] http://deb.debian.org/debian bookworm main\n' \
  > "$WORK/present-oneline/apt/sources.list"
echo "deb-src entries for bookworm already configured" > "$WORK/present-oneline/expected"
case_ present-oneline bookworm 0

# Only a third-party repository: a clear error, not an empty source list.
setup foreign
cp "$WORK/bookworm/apt/sources.list.d/nodesource.sources" "$WORK/foreign/apt/sources.list.d/"
echo "web-deps: error: no apt entry installs from Debian bookworm (checked APT/sources.list and APT/sources.list.d/): cannot add its deb-src" > "$WORK/foreign/expected"
case_ foreign bookworm 1

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
