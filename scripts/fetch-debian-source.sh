#!/usr/bin/env bash
# fetch-debian-source.sh PACKAGE[=VERSION] DIR [UPSTREAM]
# Unpacks the Debian source package PACKAGE into DIR, from the same Debian
# mirror and suites the machine installs binaries from. apt keeps its state
# (source list, package lists, cache) under DIR/apt, so the machine's own
# apt configuration and lists are never changed. Prints the unpacked tree.
# With UPSTREAM, the tree must be DIR/PACKAGE-UPSTREAM: one already there is
# used as it is, and any other version unpacked is an error.
set -euo pipefail
[ $# -eq 2 ] || [ $# -eq 3 ] || { echo "usage: $0 PACKAGE[=VERSION] DIR [UPSTREAM]" >&2; exit 2; }
package=$1
name=${package%%=*}
dir=$(mkdir -p "$2" && cd "$2" && pwd)
expected=${3:+$dir/$name-$3}
if [ -n "$expected" ] && [ -d "$expected" ]; then
  echo "$expected"; exit 0
fi
state=$dir/apt
mkdir -p "$state/sources.list.d" "$state/lists/partial" "$state/cache/archives/partial"

# The mirror and suites of the machine's main Debian entry, deb822 or one-line form.
mirror='' suites=''
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  uri=$(awk '/^URIs:/{print $2; exit}' "$f")
  case "$uri" in */debian) mirror=$uri; suites=$(awk '/^Suites:/{$1=""; print; exit}' "$f"); break ;; esac
done
if [ -z "$mirror" ]; then
  read -r mirror suites < <(grep -hE '^deb +(\[[^]]*\] +)?[a-z]+://[^ ]+/debian +' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    sed -E 's/^deb +(\[[^]]*\] +)?//' | awk '{print $1, $2; exit}') || true
fi
[ -n "$mirror" ] || { echo "$0: no Debian mirror found in /etc/apt/sources.list*" >&2; exit 1; }
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
{
  echo "Types: deb-src"
  echo "URIs: $mirror"
  echo "Suites: $suites"
  echo "Components: main"
  [ -f "$keyring" ] && echo "Signed-By: $keyring"
} >"$state/sources.list.d/debian-src.sources"

apt_opts=(
  -o "Dir::Etc::sourcelist=/dev/null"
  -o "Dir::Etc::sourceparts=$state/sources.list.d"
  -o "Dir::State::Lists=$state/lists"
  -o "Dir::Cache=$state/cache"
  -o "APT::Sandbox::User=root"
  -o "Debug::NoLocking=1"
)
apt-get "${apt_opts[@]}" -qq update >&2
cd "$dir"
apt-get "${apt_opts[@]}" -qq source "$package" >&2
tree=$(find "$dir" -mindepth 1 -maxdepth 1 -type d -name "$name-*" | sort | tail -n 1)
[ -n "$tree" ] || { echo "$0: apt-get source $package unpacked nothing" >&2; exit 1; }
[ -z "$expected" ] || [ "$tree" = "$expected" ] || { echo "$0: expected $expected, got $tree" >&2; exit 1; }
echo "$tree"
