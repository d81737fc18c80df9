# The Debian package: build it, check its contents, install it, run the
# unattended mode from it without a display, verify its units, remove it.
set -euo pipefail
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
rm -rf build/package
(cd build && cpack -G DEB -B package >/dev/null)
debs=(build/package/sizewalk_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: expected one package, got: ${debs[*]}"; exit 1; }
deb=$(realpath "${debs[0]}")
echo "built $(basename "$deb")"

# Contents: every file the package must carry (the window program and the
# desktop files only with the window).
contents=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}')
expected=(
    ./usr/bin/sizewalk
    ./usr/lib/systemd/system/sizewalk@.service
    ./usr/lib/systemd/system/sizewalk@.timer
    ./usr/lib/systemd/user/sizewalk@.service
    ./usr/lib/systemd/user/sizewalk@.timer
    ./usr/share/man/man1/sizewalk.1.gz
)
with_window=no
grep -q '^SIZEWALK_GUI:BOOL=ON' build/CMakeCache.txt && with_window=yes
if [ "$with_window" = yes ]; then
    expected+=(./usr/libexec/sizewalk/sizewalk-window)
fi
if [ "$with_window" = yes ] && [ -e packaging/icons/sizewalk.svg ]; then
    expected+=(
        ./usr/share/applications/sizewalk.desktop
        ./usr/share/icons/hicolor/32x32/apps/sizewalk.png
        ./usr/share/icons/hicolor/scalable/apps/sizewalk.svg
    )
fi
if ! diff -u <(printf '%s\n' "${expected[@]}" | LC_ALL=C sort) <(echo "$contents" | LC_ALL=C sort); then
    echo "FAIL: package contents differ (- expected, + packaged)"
    exit 1
fi
for field in Depends:libc6 Recommends:xdg-utils Section:admin; do
    value=$(dpkg-deb -f "$deb" "${field%%:*}")
    [[ $value == *"${field#*:}"* ]] || { echo "FAIL: ${field%%:*} is '$value'"; exit 1; }
done

# Install as an administrator would; the run below must need no display.
export DEBIAN_FRONTEND=noninteractive
if ! $sudo apt-get install -y -qq "$deb" >/dev/null; then
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq "$deb" >/dev/null
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"; $sudo apt-get purge -y -qq sizewalk >/dev/null' EXIT
mkdir -p "$tmp/data/alpha/deep" "$tmp/data/beta"
head -c 1000 /dev/zero >"$tmp/data/alpha/deep/file"
head -c 24 /dev/zero >"$tmp/data/beta/file"
if ! env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C timeout 120 /usr/bin/sizewalk 3 "$tmp/data/" \
        </dev/null >"$tmp/out" 2>&1; then
    echo "FAIL: the installed program failed:"
    cat "$tmp/out"
    exit 1
fi
today=$(date +%d/%m/%Y)
printf '%s\r\n' "$today,1000,alpha" "$today,24,beta" >"$tmp/expected.csv"
if ! cmp -s "$tmp/expected.csv" "$tmp/data/Sizewalk.csv"; then
    echo "FAIL: Sizewalk.csv is not as expected:"
    cat -A "$tmp/data/Sizewalk.csv"
    exit 1
fi
[ -s "$tmp/out" ] && { echo "FAIL: a successful run printed:"; cat "$tmp/out"; exit 1; }
/usr/bin/sizewalk --version | grep -q '^Sizewalk v' || { echo "FAIL: --version"; exit 1; }
# The program a scheduler runs must not need Qt to start.
if ldd /usr/bin/sizewalk | grep -q 'libQt'; then
    echo "FAIL: /usr/bin/sizewalk links Qt:"
    ldd /usr/bin/sizewalk
    exit 1
fi
echo "the installed program wrote the expected rows"
if [ "$with_window" = yes ]; then
    # Without arguments it must find the installed window program, which then
    # finds that this display does not answer.
    status=0
    env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:87 timeout 60 /usr/bin/sizewalk \
        </dev/null >"$tmp/out" 2>&1 || status=$?
    if [ "$status" -ne 2 ] || ! grep -q 'display does not answer' "$tmp/out"; then
        echo "FAIL: the installed window program was not started (status $status):"
        cat "$tmp/out"
        exit 1
    fi
    echo "the installed program starts the installed window program"
fi

# The installed units, with the installed program and man page.
if command -v systemd-analyze >/dev/null; then
    mkdir -m 700 "$tmp/runtime"
    systemd-analyze verify /usr/lib/systemd/system/sizewalk@.service \
        /usr/lib/systemd/system/sizewalk@.timer
    XDG_RUNTIME_DIR=$tmp/runtime systemd-analyze --user verify \
        /usr/lib/systemd/user/sizewalk@.service /usr/lib/systemd/user/sizewalk@.timer
    echo "systemd accepts the installed units"
else
    echo "systemd-analyze not found: installed units not verified"
fi
