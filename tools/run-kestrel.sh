#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kestrel on the bundled sample archive.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
"$root/tools/deps.sh"
"$root/tools/build.sh" "$root/build"
app="$root/build/app"
# While the database holds no posts, the sample archive is imported the way a user
# imports downloaded posts: each top-level room's folder into its own table, the HTML
# pages and the XML files with the shipped presets, and their body index is built.
if ! "$root/build/tools/make_sample" --holds-posts "$app"; then
    for folder in "$app"/sample/*/; do
        folder=${folder%/}
        table=$(basename "$folder")
        "$app/quillery" import --preset "Lumora旧帖(htm), 所在目录名是roomid" \
            --table "$table" --dir "$folder/htm" | tail -n 1
        "$app/quillery" import --preset "Lumora新帖(xml), roomid在文件中" \
            --table "$table" --dir "$folder/xml" | tail -n 1
    done
    # So that the search field finds what the posts say from the first start.
    "$app/quillery" index --body
fi
if [[ $(id -u) -eq 0 ]]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1 # Chromium's sandbox refuses to run as root
fi
exec "$app/Kestrel" "$@"
