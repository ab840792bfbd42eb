#!/usr/bin/env bash
# cpp-httplib for `tolsa serve`. Debian's libcpp-httplib-dev splits the library
# into a header and a Linux shared object, which the mingw build cannot link;
# the Debian source package of the same version holds the single-header form,
# which both targets compile in. It is unpacked (with Debian's patches) into
# TOLSA_HTTPLIB_DIR, through a private apt source list: the machine's apt
# configuration is left as it is.
set -euo pipefail
version=0.11.4+ds-1+deb12u1
dest="${TOLSA_HTTPLIB_DIR:-/opt/tolsa-deps/cpp-httplib}"
[ -f "$dest/httplib.h" ] && grep -q 'CPPHTTPLIB_VERSION "0.11.4"' "$dest/httplib.h" && exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial"
cat >"$work/sources.list" <<LIST
deb-src http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian-security bookworm-security main
LIST
opts=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
      -o "Dir::State::Lists=$work/lists" -o DPkg::Lock::Timeout=600 -o APT::Sandbox::User=root)
apt-get "${opts[@]}" -qq update
(cd "$work" && apt-get "${opts[@]}" -qq source --download-only "cpp-httplib=$version" >/dev/null)
# apt checked the files against the signed release index.
dpkg-source --no-check -x "$work/cpp-httplib_$version.dsc" "$work/src" >/dev/null
mkdir -p "$dest"
cp "$work/src/httplib.h" "$work/src/LICENSE" "$dest/"
echo "cpp-httplib $version: $dest/httplib.h"
