#!/usr/bin/env bash
# The install as a new user meets it. Installs the build into a staging folder
# (DESTDIR), checks what it holds, then, as a non-root user with an empty home folder,
# runs quillery, imports the sample archive into that user's archive, counts its posts
# and starts Kestrel under Xvfb (a screenshot is left for a person to look at). A second
# user shares nothing; a read-only home and a broken configuration get clear messages.
# Then the same from a portable copy of the build's program folder.
#   install_test.sh <build dir> <grab_screen program> <screenshot folder>
set -euo pipefail
build=$(cd "$1" && pwd)
grab=$2
shots=$3
mkdir -p "$shots"

work=$(mktemp -d /tmp/quillery-install.XXXXXX)
chmod 755 "$work"
cleanup() {
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() { # description, then the command that must succeed
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAIL: $what" >&2
        failures=$((failures + 1))
    fi
}

# The users. As root: nobody, and a second user id without an account; otherwise the
# caller itself, with a home folder of its own for each "user".
if [[ $(id -u) -eq 0 ]]; then
    user_a=$(id -u nobody)
    user_b=64999
    while getent passwd "$user_b" >/dev/null; do user_b=$((user_b - 1)); done
else
    user_a=$(id -u)
    user_b=$user_a
fi
path_dirs="$work/stage/usr/bin:/usr/bin:/bin"
as_user() { # uid, home, command...
    local uid=$1 home=$2
    shift 2
    local -a env=(env -i "HOME=$home" "PATH=$path_dirs" LANG=C.UTF-8 "XDG_RUNTIME_DIR=$home/.run"
                  QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu)
    if [[ $(id -u) -eq 0 ]]; then
        setpriv --reuid="$uid" --regid="$uid" --clear-groups "${env[@]}" "$@"
    else
        "${env[@]}" "$@"
    fi
}
new_home() { # uid, folder
    mkdir -p "$2"
    mkdir -m 700 "$2/.run"
    [[ $(id -u) -ne 0 ]] || chown -R "$1:$1" "$2"
}

# ---- the staged install -------------------------------------------------------------
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >"$work/install.log"
share=$stage/usr/share
for file in usr/bin/kestrel usr/bin/sorrel usr/bin/garnet usr/bin/quillery \
    usr/share/quillery/Configs/InitTree.xml usr/share/quillery/sample \
    usr/share/applications/kestrel.desktop usr/share/metainfo/example.quillery.Kestrel.metainfo.xml \
    usr/share/icons/hicolor/48x48/apps/quillery-kestrel.png \
    usr/share/icons/hicolor/256x256/apps/quillery-sorrel.png \
    usr/share/icons/hicolor/scalable/apps/quillery-garnet.svg \
    usr/share/dbus-1/services/Sorrel.Application.service usr/share/man/man1/quillery.1.gz \
    usr/share/bash-completion/completions/quillery usr/share/doc/quillery/copyright; do
    check "the install holds $file" test -e "$stage/$file"
done
check "no symbolic link of the install points to an absolute path" \
    test -z "$(find "$stage" -type l -lname '/*')"
check "no text of the install names the build folder" \
    bash -c '! grep -rIl -- "$1" "$2" && ! zgrep -l -- "$1" "$2"/share/man/man1/*.gz' _ \
    "$build" "$stage/usr"
check "the D-Bus service starts the installed Sorrel" \
    grep -qx 'Exec=/usr/bin/sorrel --automation' "$share/dbus-1/services/Sorrel.Application.service"

if command -v desktop-file-validate >/dev/null; then
    for entry in "$share"/applications/*.desktop; do
        check "desktop-file-validate $(basename "$entry")" desktop-file-validate "$entry"
    done
else
    echo "skipped: desktop-file-validate (package desktop-file-utils) is not installed"
fi
if command -v appstreamcli >/dev/null; then
    for metainfo in "$share"/metainfo/*.xml; do
        check "appstreamcli validate $(basename "$metainfo")" \
            appstreamcli validate --no-net --pedantic "$metainfo"
    done
else
    echo "skipped: appstreamcli (package appstream) is not installed"
fi
if command -v man >/dev/null; then
    for page in "$share"/man/man1/*.1.gz; do
        # groff's warnings (a line it cannot break, a bad request) land on standard error.
        check "man renders $(basename "$page") without warnings" bash -c \
            '[[ -z $(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$1" 2>&1 >/dev/null) ]]' \
            _ "$page"
    done
    check "quillery(1) describes every subcommand" bash -c \
        'text=$(LC_ALL=C.UTF-8 MANWIDTH=100 man -l "$1" 2>/dev/null)
         for c in URLS CLASSIFY FIND INDEX IMPORT; do grep -q "QUILLERY $c" <<<"$text" || exit 1; done
         grep -q -- "--no-subrooms" <<<"$text"' _ "$share/man/man1/quillery.1.gz"
fi
check "the bash completion is valid bash" bash -n "$share/bash-completion/completions/quillery"

# ---- a new user of the installed programs ----------------------------------------------
version=$("$build/app/quillery" --version)
sample_count() { # table: the post files of a top-level room's folder
    find "$share/quillery/sample/$1" -type f \( -name '*.htm' -o -name '*.xml' \) | wc -l
}
lang_posts=$(sample_count LangPosts)
import_sample() { # the README's commands, run in the user's folder
    cat <<'EOF'
set -e
for table in *; do
    quillery import --preset "Lumora旧帖(htm), 所在目录名是roomid" --table "$table" --dir "$table/htm"
    quillery import --preset "Lumora新帖(xml), roomid在文件中" --table "$table" --dir "$table/xml"
done
EOF
}
count_root() { # uid, home: the posts quillery finds under the top-level room 编程语言
    as_user "$1" "$2" quillery find --root 编程语言 --count
}

home_a=$work/home-a
new_home "$user_a" "$home_a"
data_a=$home_a/.local/share/quillery
check "quillery --version as a new user" test "$(as_user "$user_a" "$home_a" quillery --version)" = "$version"
check "quillery find --version" test \
    "$(as_user "$user_a" "$home_a" quillery find --version)" = "quillery find ${version#quillery }"
check "--version leaves the home folder as it was" test "$(ls -A "$home_a")" = .run
as_user "$user_a" "$home_a" bash -c 'mkdir -p "$1" && cp -r "$2" "$1"/' _ "$data_a" "$share/quillery/sample"
as_user "$user_a" "$home_a" bash -c "cd '$data_a/sample' && $(import_sample)" >"$work/import-a.log" 2>&1 ||
    { cat "$work/import-a.log" >&2; failures=$((failures + 1)); }
check "the import found every sample post where the configuration places it" \
    bash -c '! grep -q "不一致" "$1" && [[ $(grep -c "插入完成" "$1") -eq 8 ]]' _ "$work/import-a.log"
check "quillery find --root 编程语言 --count gives the $lang_posts posts of the sample" \
    test "$(count_root "$user_a" "$home_a")" = "$lang_posts"
check "the start room 标准库 holds its 260 posts" test \
    "$(as_user "$user_a" "$home_a" quillery find --root 编程语言 --room 111 --no-subrooms --count)" = 260
check "the user's folder holds the defaults and the archive" \
    test -f "$data_a/Configs/InitTree.xml" -a -f "$data_a/Configs/XmlListInfo.xml" -a -f "$data_a/Data/Lumora.db"
check "no temporary copy is left behind" test -z "$(find "$data_a" -name '*.~part*')"
check "nothing was written into the install" test -z "$(find "$stage" -newer "$work/install.log" -type f)"

run_kestrel() { # uid, home, screenshot name, kestrel command
    local uid=$1 home=$2 shot=$3 program=$4
    as_user "$uid" "$home" xvfb-run -a -s "-screen 0 1280x860x24" bash -c '
        "$1" & pid=$!
        for _ in $(seq 120); do
            xwininfo -root -tree 2>/dev/null | grep -q "Kestrel程序主窗口" && break
            sleep 0.5
        done
        sleep 8 # the start room is listed once the message loop runs
        "$2" "$3"
        xwininfo -root -tree >"$4"
        kill "$pid"
        wait "$pid" || true' _ "$program" "$grab" "$home/$shot.png" "$home/$shot.windows" || true
    check "a screenshot of Kestrel was taken ($shot)" cp "$home/$shot.png" "$shots/$shot.png"
    check "Kestrel's main window came up ($shot)" grep -q "Kestrel程序主窗口" "$home/$shot.windows"
    # A message box carries the program's title alone (Qt's 1x1 leader window too, but
    # without a window class).
    check "Kestrel showed no message box ($shot)" \
        bash -c '! grep "\"Kestrel\": (\"" "$1"' _ "$home/$shot.windows"
    rm -f "$home/$shot.png" "$home/$shot.windows"
}
if command -v xvfb-run >/dev/null && command -v xwininfo >/dev/null; then
    run_kestrel "$user_a" "$home_a" kestrel-installed kestrel
else
    echo "skipped: Kestrel under Xvfb (packages xvfb and x11-utils) is not possible"
fi

# ---- a second user shares nothing but the install -------------------------------------
home_b=$work/home-b
new_home "$user_b" "$home_b"
if command -v xvfb-run >/dev/null && command -v xwininfo >/dev/null; then
    # The first start of Kestrel makes the user's empty archive.
    run_kestrel "$user_b" "$home_b" kestrel-second-user kestrel
    check "a second user starts with an empty archive of the shipped room tree" \
        test "$(count_root "$user_b" "$home_b")" = 0
fi
check "the second user's files are in the second user's home" \
    test -f "$home_b/.local/share/quillery/Data/Lumora.db"
check "the first user's archive is untouched" test "$(count_root "$user_a" "$home_a")" = "$lang_posts"

# ---- a hostile environment ----------------------------------------------------------
home_r=$work/home-readonly
mkdir -p "$home_r"
chmod 555 "$home_r" # owned by root when the test is: the user may not write there either
set +e
message=$(as_user "$user_a" "$home_r" quillery find --root 编程语言 --count 2>&1 >/dev/null)
status=$?
set -e
check "a read-only home folder fails with status 1" test "$status" = 1
check "the message names the folder that could not be made: $message" \
    grep -q -- "$home_r/.local" <<<"$message"
check "--version works with a read-only home" as_user "$user_a" "$home_r" quillery --version

printf '<?xml version="1.0"?><Kestrel><unclosed>' >"$data_a/Configs/InitTree.xml"
cp "$data_a/Configs/InitTree.xml" "$work/broken.xml"
set +e
message=$(as_user "$user_a" "$home_a" quillery find --root 编程语言 --count 2>&1 >/dev/null)
status=$?
set -e
check "a broken configuration of the user fails with status 1" test "$status" = 1
check "the message names the broken file: $message" grep -q -- "$data_a/Configs/InitTree.xml" <<<"$message"
check "the defaults never replace the user's broken configuration" \
    cmp -s "$data_a/Configs/InitTree.xml" "$work/broken.xml"

# ---- portable: a copy of the build's program folder ---------------------------------
portable=$work/portable
cp -a "$build/app" "$portable"
rm -rf "$portable/Data" "$portable/RoomID-Name.txt" "$portable/Configs/NoPost.htm"
[[ $(id -u) -ne 0 ]] || chown -R "$user_a:$user_a" "$portable"
home_p=$work/home-portable
new_home "$user_a" "$home_p"
check "portable quillery --version" test "$(as_user "$user_a" "$home_p" "$portable/quillery" --version)" = "$version"
as_user "$user_a" "$home_p" bash -c "export PATH='$portable':\$PATH; cd '$portable/sample' && $(import_sample)" \
    >"$work/import-p.log" 2>&1 || { cat "$work/import-p.log" >&2; failures=$((failures + 1)); }
check "portable: the import found every sample post where the configuration places it" \
    bash -c '! grep -q "不一致" "$1" && [[ $(grep -c "插入完成" "$1") -eq 8 ]]' _ "$work/import-p.log"
check "portable: quillery find --root 编程语言 --count gives $lang_posts" test \
    "$(as_user "$user_a" "$home_p" "$portable/quillery" find --root 编程语言 --count)" = "$lang_posts"
check "portable: the archive is in the program's folder" test -f "$portable/Data/Lumora.db"
if command -v xvfb-run >/dev/null && command -v xwininfo >/dev/null; then
    run_kestrel "$user_a" "$home_p" kestrel-portable "$portable/Kestrel"
fi
check "portable: nothing was written into the home folder's data folders" \
    test ! -e "$home_p/.local/share/quillery"

echo "screenshots: $(ls "$shots"/kestrel-*.png)"
if ((failures)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all checks passed"
