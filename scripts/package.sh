#!/usr/bin/env bash
# Builds the Debian package build/package/quengreeting_<version>_<arch>.deb with
# Debian's usual compiler flags and checks it with lintian, which must report no
# error. The package installs under /usr; its Depends come from dpkg-shlibdeps.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh package

# The same source gives the same man page and changelog dates.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CXXFLAGS LDFLAGS

cmake --preset package --fresh >/dev/null
cmake --build --preset package -j"$(nproc)"
rm -f build/package/*.deb
cpack --preset package

deb=$(echo build/package/*.deb)
lintian --fail-on error "$deb"
echo "$deb"
