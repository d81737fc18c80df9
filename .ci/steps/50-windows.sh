# The Windows program: cross-built with MinGW-w64, its tests run under Wine,
# then one real run on a small tree in Wine's C: drive. Every Wine call has a
# time limit, and no display is offered, so that nothing can wait for a click.
set -euo pipefail
cd "$(dirname "$0")/../.."

scripts/build-windows

build=$PWD/build-windows
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=C.UTF-8  # Wine's locale: en-US, code page 1252
unset DISPLAY WAYLAND_DISPLAY

stop_wine() { timeout 30 wineserver -k >/dev/null 2>&1 && timeout 30 wineserver -w >/dev/null 2>&1 || true; }
trap stop_wine EXIT
stop_wine
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# One persistent server with its helpers started here, so that they hold no
# test's output open and each test starts quickly.
timeout 60 wineserver -p </dev/null >/dev/null 2>&1
timeout 180 wine wineboot -i </dev/null >/dev/null 2>&1

echo "== Windows unit tests under Wine"
timeout 600 ctest --test-dir "$build" --output-on-failure --timeout 120 -j2

echo "== Windows end-to-end run under Wine"
tree=$WINEPREFIX/drive_c/sizewalk-e2e
mkdir -p "$tree/alpha" "$tree/beta/deeper" "$tree/empty" "$tree/café"
head -c 1000 /dev/zero >"$tree/alpha/a"
head -c 300 /dev/zero >"$tree/beta/b"
head -c 20 /dev/zero >"$tree/beta/deeper/c"
head -c 7 /dev/zero >"$tree/café/d"
head -c 50 /dev/zero >"$tree/loose file"

run() {
    local status=0
    timeout 60 wine "$build/src/sizewalk.exe" "$@" </dev/null >/dev/null 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        echo "sizewalk.exe $* exited with $status" >&2
        exit 1
    fi
}
day_before=$(date +%d/%m/%Y)
run 3 'C:\sizewalk-e2e\'
run 1 'C:\sizewalk-e2e\'
day_after=$(date +%d/%m/%Y)

# Rows in code page 1252 with CR LF; names in byte order of their UTF-8 form.
csv_ok=no
for day in "$day_before" "$day_after"; do
    printf '%s,1000,alpha\r\n%s,320,beta\r\n%s,7,caf\xe9\r\n%s,0,empty\r\n' \
        "$day" "$day" "$day" "$day" >"$build/expected.csv"
    cmp -s "$build/expected.csv" "$tree/Sizewalk.csv" && csv_ok=yes
done
if [ "$csv_ok" != yes ]; then
    echo "unexpected Sizewalk.csv:" >&2
    od -c "$tree/Sizewalk.csv" >&2
    exit 1
fi

rule=--------------------------------------------------
printf '%s\r\n\r\n%s\r\n\r\n%s\r\n%s\r\n%s\r\n%s\r\n\r\n%s\r\n%s\r\n\r\n' \
    "$rule" "Directory Size Track (bytes) for 'C:\\sizewalk-e2e\\' at TIME" \
    "1,000           alpha" "320             beta" "$(printf '7               caf\xe9')" \
    "0               empty" "TOTAL: 1,327 bytes in 4 subdirectories" "$rule" \
    >"$build/expected.txt"
LC_ALL=C sed -E -e '1d' \
    -e "s/ at [0-9]{1,2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\r$/ at TIME\r/" \
    "$tree/Sizewalk.txt" >"$build/actual.txt"
if ! LC_ALL=C head -1 "$tree/Sizewalk.txt" | grep -q '^Sizewalk v[0-9.]* ,  Copyright ' ||
    ! cmp -s "$build/expected.txt" "$build/actual.txt"; then
    echo "unexpected Sizewalk.txt:" >&2
    od -c "$tree/Sizewalk.txt" >&2
    exit 1
fi

# The user's locale gives the separators: German groups with "." and writes
# dates as dd.MM.yyyy.
german=$WINEPREFIX/drive_c/sizewalk-de
mkdir -p "$german/alpha"
truncate -s 1234567 "$german/alpha/a"
LC_ALL=de_DE.UTF-8 run 3 'C:\sizewalk-de\'
LC_ALL=de_DE.UTF-8 run 2 'C:\sizewalk-de\'
if ! grep -q "^$(date +%d.%m.%Y),1234567,alpha"$'\r'"\$" "$german/Sizewalk.csv" ||
    ! grep -q "^1\.234\.567       alpha"$'\r'"\$" "$german"/Sizewalk_*.txt; then
    echo "the German locale's separators are missing:" >&2
    cat "$german/Sizewalk.csv" "$german"/Sizewalk_*.txt >&2
    exit 1
fi
echo "Windows end-to-end runs: Sizewalk.csv and Sizewalk.txt as expected"
