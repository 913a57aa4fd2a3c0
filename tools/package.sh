#!/usr/bin/env bash
# Builds the Debian package of Quillery from a release build of its own, with Debian's
# hardening flags, and checks it with lintian:
#   tools/package.sh [build-dir]      (default: build-package/)
# The package is written into the build folder; its path is the last line printed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/deps.sh" --package
build=${1:-$root/build-package}

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
        -DQUILLERY_TESTS=OFF -DQUILLERY_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"
rm -f "$build"/quillery_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quillery_*.deb)
lintian --info "$deb" || true
echo "$deb"
