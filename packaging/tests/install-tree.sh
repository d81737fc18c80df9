#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR under /usr and checks the file
# list, the paths the units and the desktop entry start, that systemd accepts
# the units, and how far the system's service is sandboxed.
# Usage: install-tree.sh BUILD_DIR WITH_DESKTOP(ON|OFF) WITH_WINDOW(ON|OFF)
set -euo pipefail
build=$1
with_desktop=$2
with_window=${3:-OFF}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

expected=(
    /usr/bin/sizewalk
    /usr/lib/systemd/system/sizewalk-metrics@.service
    /usr/lib/systemd/system/sizewalk-metrics@.timer
    /usr/lib/systemd/system/sizewalk@.service
    /usr/lib/systemd/system/sizewalk@.timer
    /usr/lib/systemd/user/sizewalk@.service
    /usr/lib/systemd/user/sizewalk@.timer
    /usr/share/doc/sizewalk/changelog.Debian.gz
    /usr/share/doc/sizewalk/copyright
    /usr/share/man/man1/sizewalk.1.gz
)
if [ "$with_window" = ON ]; then
    expected+=(
        /usr/libexec/sizewalk/sizewalk-window
        /usr/share/doc/sizewalk-window/changelog.Debian.gz
        /usr/share/doc/sizewalk-window/copyright
    )
fi
if [ "$with_desktop" = ON ]; then
    expected+=(
        /usr/share/applications/sizewalk.desktop
        /usr/share/icons/hicolor/32x32/apps/sizewalk.png
        /usr/share/icons/hicolor/scalable/apps/sizewalk.svg
    )
fi
actual=$(cd "$root" && find . -type f -o -type l | sed 's/^\.//' | LC_ALL=C sort)
if ! diff -u <(printf '%s\n' "${expected[@]}" | LC_ALL=C sort) <(echo "$actual"); then
    echo "FAIL: installed files differ (- expected, + installed)"
    exit 1
fi
[ -x "$root/usr/bin/sizewalk" ] || { echo "FAIL: the program is not executable"; exit 1; }
if [ "$with_window" = ON ]; then
    [ -x "$root/usr/libexec/sizewalk/sizewalk-window" ] ||
        { echo "FAIL: the window program is not executable"; exit 1; }
fi

for kind in system user; do
    exec_start=$(grep '^ExecStart=' "$root/usr/lib/systemd/$kind/sizewalk@.service")
    if [ "$exec_start" != 'ExecStart=/usr/bin/sizewalk ${SIZEWALK_STYLE} %f/' ]; then
        echo "FAIL: $kind unit starts: $exec_start"
        exit 1
    fi
done

if [ "$with_desktop" = ON ]; then
    exec=$(grep '^Exec=' "$root/usr/share/applications/sizewalk.desktop")
    [ "$exec" = Exec=/usr/libexec/sizewalk/sizewalk-window ] ||
        { echo "FAIL: the desktop entry starts: $exec"; exit 1; }
fi

# The compressed documents must have landed intact.
gzip -t "$root/usr/share/man/man1/sizewalk.1.gz" "$root"/usr/share/doc/*/changelog.Debian.gz

command -v systemd-analyze >/dev/null || { echo "FAIL: no systemd-analyze"; exit 1; }
# Verified beside the host's units, so the service must name the program
# where it lies in DESTDIR.
work=$(mktemp -d)
trap 'rm -rf "$root" "$work"' EXIT
mkdir "$work/runtime" && chmod 700 "$work/runtime"
for kind in system user; do
    mkdir "$work/$kind"
    units=()
    for unit in "$root/usr/lib/systemd/$kind"/*; do
        sed "s|^ExecStart=/usr/bin/|ExecStart=$root/usr/bin/|" "$unit" >"$work/$kind/${unit##*/}"
        units+=("$work/$kind/${unit##*/}")
    done
    if ! out=$(XDG_RUNTIME_DIR=$work/runtime systemd-analyze --"$kind" verify --man=no \
            "${units[@]}" 2>&1); then
        echo "FAIL: systemd-analyze --$kind verify:"
        echo "$out"
        exit 1
    fi
    [ -z "$out" ] || { echo "FAIL: systemd-analyze --$kind verify warns:"; echo "$out"; exit 1; }
done

# An administrator may enable the system's services without worry: exposure
# at most 4 of 10 (a unit without a sandbox rates 9.6).
for service in sizewalk@.service sizewalk-metrics@.service; do
    if ! out=$(systemd-analyze security --offline=yes --threshold=40 --no-pager \
            "$work/system/$service" 2>&1); then
        echo "FAIL: the system's $service is exposed:"
        echo "$out"
        exit 1
    fi
    echo "$service: $(grep 'Overall exposure level' <<<"$out")"
done
echo "installed files and units are as expected"
