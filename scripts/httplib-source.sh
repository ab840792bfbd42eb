#!/usr/bin/env bash
# httplib-source.sh [DIR]
# cpp-httplib for `tolsa serve`. Debian's libcpp-httplib-dev splits the library
# into a header and a Linux shared object, which the mingw build cannot link;
# the Debian source package of the same version holds the single-header form,
# which both targets compile in. It is unpacked (with Debian's patches) through
# scripts/fetch-debian-source.sh, which leaves the machine's apt configuration
# as it is, and httplib.h is copied to DIR (default build/cpp-httplib).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dest=${1:-$root/build/cpp-httplib}
version=$(dpkg-query -W -f '${Version}' libcpp-httplib-dev 2>/dev/null) ||
  { echo "$0: Debian's libcpp-httplib-dev is not installed" >&2; exit 1; }
upstream=${version%%+*}
[ -f "$dest/httplib.h" ] && grep -q "CPPHTTPLIB_VERSION \"$upstream\"" "$dest/httplib.h" && exit 0
mkdir -p "$dest"
src=$(bash "$root/scripts/fetch-debian-source.sh" "cpp-httplib=$version" "$dest/source")
cp "$src/httplib.h" "$src/LICENSE" "$dest/"
echo "cpp-httplib $version: $dest/httplib.h"
