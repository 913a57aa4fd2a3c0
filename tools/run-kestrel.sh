#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kestrel on the bundled sample archive.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/deps.sh"
"$root/tools/build.sh" "$root/build"
app="$root/build/app"
if [[ ! -x $app/Kestrel ]]; then
    echo "Built the shared utilities; Kestrel itself is not part of this version yet."
    exit 0
fi
exec "$app/Kestrel" "$@"
