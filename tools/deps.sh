#!/usr/bin/env bash
# Installs the Debian packages Quillery needs when any of them is missing.
# The one list of packages of the project; --fuzz adds the fuzzing tool chain,
# --package what tools/package.sh needs to build and check the Debian package.
set -euo pipefail

packages=(
    build-essential cmake
    qt6-base-dev qt6-webengine-dev libqt6sql6-sqlite libqt6sql6-psql libqt6svg6 libsqlite3-dev
    qt6-translations-l10n
    xvfb xauth x11-utils fonts-noto-cjk libx11-dev
    dbus-daemon dbus-bin dbus-session-bus-common
    postgresql
    desktop-file-utils appstream man-db
    wget
)
fuzz_packages=(clang libclang-rt-14-dev)
package_packages=(dpkg-dev file lintian)

if [[ ${1:-} == --fuzz ]]; then
    packages+=("${fuzz_packages[@]}")
elif [[ ${1:-} == --package ]]; then
    packages+=("${package_packages[@]}")
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
((${#missing[@]})) || exit 0

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
