# The Debian packages: build them, check their contents and lintian's verdict,
# install sizewalk alone as on a server and run it without a display, add
# sizewalk-window, verify the installed units, and leave the machine's
# packages as they were.
set -euo pipefail
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
rm -rf build/package
(cd build && cpack -G DEB -B package >/dev/null)
with_window=no
grep -q '^SIZEWALK_GUI:BOOL=ON' build/CMakeCache.txt && with_window=yes
packages=(sizewalk)
[ "$with_window" = yes ] && packages+=(sizewalk-window)
declare -A deb
for p in "${packages[@]}"; do
    found=(build/package/"${p}"_*.deb)
    [ ${#found[@]} -eq 1 ] && [ -f "${found[0]}" ] || { echo "FAIL: no single $p package: ${found[*]}"; exit 1; }
    deb[$p]=$(realpath "${found[0]}")
    echo "built $(basename "${deb[$p]}")"
done
[ "$(find build/package -maxdepth 1 -name '*.deb' | wc -l)" -eq ${#packages[@]} ] ||
    { echo "FAIL: unexpected packages:"; ls build/package; exit 1; }

# Contents: every file each package must carry.
check_contents() {
    local contents
    contents=$(dpkg-deb -c "$1" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort)
    if ! diff -u <(printf '%s\n' "${@:2}" | LC_ALL=C sort) <(echo "$contents"); then
        echo "FAIL: the contents of $(basename "$1") differ (- expected, + packaged)"
        exit 1
    fi
}
check_contents "${deb[sizewalk]}" \
    ./usr/bin/sizewalk \
    ./usr/lib/systemd/system/sizewalk-metrics@.service ./usr/lib/systemd/system/sizewalk-metrics@.timer \
    ./usr/lib/systemd/system/sizewalk@.service ./usr/lib/systemd/system/sizewalk@.timer \
    ./usr/lib/systemd/user/sizewalk@.service ./usr/lib/systemd/user/sizewalk@.timer \
    ./usr/share/doc/sizewalk/changelog.Debian.gz ./usr/share/doc/sizewalk/copyright \
    ./usr/share/man/man1/sizewalk.1.gz
if [ "$with_window" = yes ]; then
    check_contents "${deb[sizewalk-window]}" \
        ./usr/libexec/sizewalk/sizewalk-window \
        ./usr/share/applications/sizewalk.desktop \
        ./usr/share/doc/sizewalk-window/changelog.Debian.gz \
        ./usr/share/doc/sizewalk-window/copyright \
        ./usr/share/icons/hicolor/32x32/apps/sizewalk.png \
        ./usr/share/icons/hicolor/scalable/apps/sizewalk.svg
fi
# A server's package must not pull in Qt; the window's brings it and sizewalk.
depends=$(dpkg-deb -f "${deb[sizewalk]}" Depends)
[[ $depends == *libc6* && ${depends,,} != *qt* ]] || { echo "FAIL: sizewalk depends on: $depends"; exit 1; }
[ "$(dpkg-deb -f "${deb[sizewalk]}" Section)" = admin ] || { echo "FAIL: sizewalk's section"; exit 1; }
if [ "$with_window" = yes ]; then
    depends=$(dpkg-deb -f "${deb[sizewalk-window]}" Depends)
    version=$(dpkg-deb -f "${deb[sizewalk]}" Version)
    [[ $depends == *"sizewalk (= $version)"* && $depends == *libqt6widgets6* ]] ||
        { echo "FAIL: sizewalk-window depends on: $depends"; exit 1; }
fi

# lintian: no errors, no warnings; the remaining tags are shown.
if ! out=$(lintian --fail-on error,warning --display-info "${deb[@]}" 2>&1); then
    echo "FAIL: lintian:"
    echo "$out"
    exit 1
fi
grep -v 'running with root privileges' <<<"$out" || true
echo "lintian: no errors, no warnings"

# A sizewalk installed before this step is the machine owner's: nothing is
# installed over it or removed.
for p in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        echo "skipped: $p is installed on this machine; the packages are not installed"
        exit 0
    fi
done

# Installed as an administrator would. Whatever apt adds is removed again.
export DEBIAN_FRONTEND=noninteractive
tmp=$(mktemp -d)
installed() { dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' | awk '$1 == "ii" {print $2}' | LC_ALL=C sort; }
installed >"$tmp/before"
restore() {
    $sudo apt-get purge -y -qq "${packages[@]}" >/dev/null 2>&1 || true
    installed >"$tmp/after"
    mapfile -t added < <(LC_ALL=C comm -13 "$tmp/before" "$tmp/after")
    if [ ${#added[@]} -gt 0 ]; then
        $sudo apt-get purge -y -qq "${added[@]}" >/dev/null || true
    fi
    rm -rf "$tmp"
}
trap restore EXIT
install_deb() {
    if ! $sudo apt-get install -y -qq --no-install-recommends "$1" >/dev/null; then
        $sudo apt-get update -qq
        $sudo apt-get install -y -qq --no-install-recommends "$1" >/dev/null
    fi
}

install_deb "${deb[sizewalk]}"
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

# Without arguments and without the window package: the help, even where a
# display is configured.
status=0
env -u WAYLAND_DISPLAY DISPLAY=:87 timeout 60 /usr/bin/sizewalk </dev/null >"$tmp/out" 2>&1 || status=$?
if [ "$status" -ne 2 ] || ! grep -q '^Exit status:' "$tmp/out"; then
    echo "FAIL: without the window package, no help (status $status):"
    cat "$tmp/out"
    exit 1
fi
echo "without the window package the program prints the help"

if [ "$with_window" = yes ]; then
    install_deb "${deb[sizewalk-window]}"
    # Now it must find the installed window program, which then finds that
    # this display does not answer.
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
mkdir -m 700 "$tmp/runtime"
systemd-analyze verify /usr/lib/systemd/system/sizewalk@.service \
    /usr/lib/systemd/system/sizewalk@.timer /usr/lib/systemd/system/sizewalk-metrics@.service \
    /usr/lib/systemd/system/sizewalk-metrics@.timer
XDG_RUNTIME_DIR=$tmp/runtime systemd-analyze --user verify \
    /usr/lib/systemd/user/sizewalk@.service /usr/lib/systemd/user/sizewalk@.timer
systemd-analyze security --offline=yes --threshold=40 --no-pager \
    /usr/lib/systemd/system/sizewalk@.service | grep 'Overall exposure level'
echo "systemd accepts the installed units; the system's service is sandboxed"
