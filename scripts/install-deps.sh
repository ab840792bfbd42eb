#!/usr/bin/env bash
# Installs the Debian packages that building and testing both targets need.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang-14 libclang-rt-14-dev lld-14 googletest libgtest-dev libbenchmark-dev
  libboost-dev g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  wine64 util-linux python3 file pkgconf unzip dpkg-dev
  # the MQTT bridge and its tests; Sparkplug payloads
  libmosquitto-dev mosquitto mosquitto-clients libssl-dev openssl nanopb libnanopb-dev
  # the web view: HTTP server, JSON, and the browser its tests drive
  libcpp-httplib-dev nlohmann-json3-dev chromium
  # the Python package and its tests
  python3-pytest python3-numpy python3-pip python3-setuptools python3-mypy
)
missing=()
for p in "${packages[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Sparkplug tests decode with npm packages, pinned by their lockfile.
command -v npm >/dev/null || { apt-get update -qq && apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends nodejs npm; }
(cd "$(dirname "$0")/../tests/sparkplug" && { [ node_modules/.package-lock.json -nt package-lock.json ] || npm ci --no-audit --no-fund --loglevel=error; })

# The web view (tolsa serve): cpp-httplib in its single-header form for both
# targets, and the page's pinned npm packages (the chart; the test browser's
# driver, which never downloads a browser: the tests use Debian's chromium).
bash "$(dirname "$0")/httplib-source.sh"
(cd "$(dirname "$0")/../web" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
