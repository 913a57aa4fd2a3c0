#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kestrel on the bundled sample archive.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/deps.sh"
"$root/tools/build.sh" "$root/build"
app="$root/build/app"
# The first start fills the new embedded database with the sample archive's posts.
"$root/build/tools/make_sample" --database "$app"
if [[ $(id -u) -eq 0 ]]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1 # Chromium's sandbox refuses to run as root
fi
exec "$app/Kestrel" "$@"
