# The Windows program: cross-built with MinGW-w64, its tests run under Wine,
# real runs on a small tree in Wine's C: drive, the installer installed, run
# and removed, and the window shown on a virtual X server. The tests make
# their Wine prefixes themselves on first use (tests/win32/run-in-wine): the
# unattended ones without a display driver, where nothing can wait for a
# click, the window's with Wine's null driver. Every Wine call has a time
# limit.
set -euo pipefail
cd "$(dirname "$0")/../.."

# A throwaway certificate authority, a code-signing certificate from it for
# the programs and the installer, and a timestamp authority: there is no
# network here to reach a real one, so osslsigncode stamps with its own.
build=$PWD/build-windows
keys=$build/test-signing
mkdir -p "$keys"
printf '%s\n' '[code]' 'keyUsage=critical,digitalSignature' 'extendedKeyUsage=codeSigning' \
    '[tsa]' 'keyUsage=critical,digitalSignature' 'extendedKeyUsage=critical,timeStamping' \
    >"$keys/extensions.cnf"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$keys/ca.key" -out "$keys/ca.pem" -days 2 \
    -subj "/CN=Sizewalk Test CA" 2>/dev/null
for who in code tsa; do
    openssl req -newkey rsa:2048 -nodes -keyout "$keys/$who.key" -out "$keys/$who.csr" \
        -subj "/CN=The Sizewalk Authors" 2>/dev/null
    openssl x509 -req -in "$keys/$who.csr" -CA "$keys/ca.pem" -CAkey "$keys/ca.key" \
        -CAcreateserial -days 2 -extfile "$keys/extensions.cnf" -extensions "$who" \
        -out "$keys/$who.pem" 2>/dev/null
done
printf 'throwaway\n' >"$keys/password"
openssl pkcs12 -export -inkey "$keys/code.key" -in "$keys/code.pem" -out "$keys/code.p12" \
    -passout "file:$keys/password"
scripts/build-windows -DSIZEWALK_SIGN_PKCS12="$keys/code.p12" \
    -DSIZEWALK_SIGN_PASSWORD_FILE="$keys/password" \
    -DSIZEWALK_SIGN_TSA="$keys/tsa.pem;$keys/tsa.key"

echo "== Authenticode signatures"
stage=$build/packaging/windows/stage
msi=$(echo "$build"/packaging/windows/sizewalk-*-x64.msi)
[ -f "$msi" ] || { echo "no installer was built" >&2; exit 1; }
for signed in "$stage/sizewalk.exe" "$stage/sizewalk.com" "$msi"; do
    report=$(osslsigncode verify -CAfile "$keys/ca.pem" -TSA-CAfile "$keys/ca.pem" -in "$signed" 2>&1) ||
        true
    if ! grep -q '^Signature verification: ok' <<<"$report" ||
        ! grep -q '^Timestamp Server Signature verification: ok' <<<"$report" ||
        ! grep -q 'Subject: /CN=The Sizewalk Authors' <<<"$report"; then
        echo "$signed: no valid timestamped signature:" >&2
        echo "$report" >&2
        exit 1
    fi
done
echo "signed and timestamped: sizewalk.exe, sizewalk.com, $(basename "$msi")"
wine_run=$PWD/tests/win32/run-in-wine
export LC_ALL=C.UTF-8  # Wine's locale: en-US, code page 1252
unset DISPLAY WAYLAND_DISPLAY

prefixes=("$build/wine" "$build/wine-window" "$build/wine-msi")
stop_wine() {
    for prefix in "${prefixes[@]}"; do
        [ -d "$prefix" ] || continue
        WINEPREFIX=$prefix timeout 30 wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$prefix timeout 30 wineserver -w >/dev/null 2>&1 || true
    done
}
trap stop_wine EXIT
stop_wine
# Fresh prefixes: the first run of the tests must pass on them.
for prefix in "${prefixes[@]}"; do rm -rf "$prefix" "$prefix.lock"; done

echo "== Windows unit and window tests under Wine"
timeout 1200 ctest --test-dir "$build" --output-on-failure -j2

echo "== Windows end-to-end run under Wine"
tree=$build/wine/drive_c/sizewalk-e2e
mkdir -p "$tree/alpha" "$tree/beta/deeper" "$tree/empty" "$tree/café" "$tree/日本"
head -c 1000 /dev/zero >"$tree/alpha/a"
head -c 300 /dev/zero >"$tree/beta/b"
head -c 20 /dev/zero >"$tree/beta/deeper/c"
head -c 7 /dev/zero >"$tree/café/d"
head -c 5 /dev/zero >"$tree/日本/e"
head -c 50 /dev/zero >"$tree/loose file"

# Runs a program in a prefix; fails the step unless it exits with 0.
run_in() {
    local prefix=$1 status=0
    shift
    SIZEWALK_WINE_TIMEOUT=120 "$wine_run" "$prefix" plain "$@" </dev/null >/dev/null 2>&1 ||
        status=$?
    if [ "$status" -ne 0 ]; then
        echo "$* exited with $status" >&2
        exit 1
    fi
}
run() { run_in "$build/wine" "$build/src/sizewalk.exe" "$@"; }
day_before=$(date +%d/%m/%Y)
run 3 'C:\sizewalk-e2e\'
run 1 'C:\sizewalk-e2e\'
day_after=$(date +%d/%m/%Y)

# Rows in code page 1252 with CR LF, what it lacks escaped; names in byte
# order of their UTF-8 form.
csv_ok=no
japan='\xe6\x97\xa5\xe6\x9c\xac'
for day in "$day_before" "$day_after"; do
    printf '%s,1000,alpha\r\n%s,320,beta\r\n%s,7,caf\xe9\r\n%s,0,empty\r\n%s,5,%s\r\n' \
        "$day" "$day" "$day" "$day" "$day" "$japan" >"$build/expected.csv"
    cmp -s "$build/expected.csv" "$tree/Sizewalk.csv" && csv_ok=yes
done
if [ "$csv_ok" != yes ]; then
    echo "unexpected Sizewalk.csv:" >&2
    od -c "$tree/Sizewalk.csv" >&2
    exit 1
fi

rule=--------------------------------------------------
printf '%s\r\n\r\n%s\r\n\r\n%s\r\n%s\r\n%s\r\n%s\r\n%s\r\n\r\n%s\r\n%s\r\n\r\n' \
    "$rule" "Directory Size Track (bytes) for 'C:\\sizewalk-e2e\\' at TIME" \
    "1,000           alpha" "320             beta" "$(printf '7               caf\xe9')" \
    "0               empty" "5               $japan" "TOTAL: 1,332 bytes in 5 subdirectories" \
    "$rule" \
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
german=$build/wine/drive_c/sizewalk-de
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
# The history reads the first tree's files back to the names: the code
# page's é and the escaped 日本. (After the German runs: a console program's
# helpers, in the other locale, may outlive it for a moment.)
history=$(SIZEWALK_WINE_TIMEOUT=120 "$wine_run" "$build/wine" plain "$build/src/sizewalk.com" \
    --history 'C:\sizewalk-e2e\' --format=csv </dev/null 2>/dev/null | tr -d '\r' || true)
if ! grep -q '^café,7,' <<<"$history" || ! grep -q '^日本,5,' <<<"$history"; then
    echo "sizewalk --history read the names wrongly:" >&2
    echo "$history" >&2
    exit 1
fi

echo "Windows end-to-end runs: Sizewalk.csv and Sizewalk.txt as expected, read back"

echo "== The installer under Wine"
msi_path() { echo "Z:${1//\//\\}"; }
prefix=$build/wine-msi
installed="$prefix/drive_c/Program Files/Sizewalk"
# The DisplayVersion of each installed Sizewalk.
installed_versions() {
    SIZEWALK_WINE_TIMEOUT=60 "$wine_run" "$prefix" plain reg query \
        'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s </dev/null 2>/dev/null |
        tr -d '\r' | awk '/DisplayName +REG_SZ +Sizewalk$/ {found = 1}
            found && /DisplayVersion/ {print $3; found = 0}' | sort | tr '\n' ' '
}
run_in "$prefix" msiexec /i "$(msi_path "$msi")" /qn
[ -f "$installed/sizewalk.exe" ] && [ -f "$installed/sizewalk.com" ] ||
    { echo "not installed under Program Files\\Sizewalk" >&2; exit 1; }
shortcut=$(find "$prefix/drive_c" -name Sizewalk.lnk | head -1)
# The shortcut starts the installed program, without arguments: the window.
link_texts=""
[ -z "$shortcut" ] || link_texts=$(strings -a "$shortcut"; strings -a -el "$shortcut")
if ! grep -q 'Sizewalk\\sizewalk\.exe$' <<<"$link_texts"; then
    echo "no Start-menu shortcut to the installed program: '$shortcut'" >&2
    exit 1
fi
[ "$(installed_versions)" = "2.0.2 " ] || { echo "not among the installed programs" >&2; exit 1; }
mkdir -p "$prefix/drive_c/msi-tree/one"
head -c 42 /dev/zero >"$prefix/drive_c/msi-tree/one/f"
run_in "$prefix" 'C:\Program Files\Sizewalk\sizewalk.exe' 3 'C:\msi-tree\'
grep -q ",42,one"$'\r'"\$" "$prefix/drive_c/msi-tree/Sizewalk.csv" ||
    { echo "the installed program wrote no row" >&2; exit 1; }
# "sizewalk" at a prompt in its folder runs the console companion, whose
# output and status cmd sees.
printf '%s\r\n' '@echo off' 'cd /d "C:\Program Files\Sizewalk"' 'sizewalk --version' \
    'sizewalk 4 C:\ 2>nul' 'echo status %ERRORLEVEL%' >"$prefix/drive_c/prompt.cmd"
console=$(SIZEWALK_WINE_TIMEOUT=60 "$wine_run" "$prefix" plain cmd /c 'C:\prompt.cmd' </dev/null \
    2>/dev/null | tr -d '\r' || true)
if ! grep -q '^Sizewalk v' <<<"$console" || ! grep -q '^status 2$' <<<"$console"; then
    echo "sizewalk at the prompt: '$console'" >&2
    exit 1
fi

# A newer version replaces it; the same version rebuilt, or an older one, is
# refused with the reason; the same package again repairs.
newer=$build/packaging/windows/sizewalk-upgrade-test.msi
rebuilt=$build/packaging/windows/sizewalk-rebuilt-test.msi
version=$(basename "$msi" | sed -E 's/^sizewalk-([0-9.]+)-x64\.msi$/\1/')
higher=${version%.*}.$((${version##*.} + 1))
for package in "$newer" "$rebuilt"; do
    (cd "$stage" && wixl -a x64 -D Version="$higher" -D Company="The Sizewalk Authors" \
        -D Website=http://sizewalk.test/ -o "$package" sizewalk.wxs)
done
run_in "$prefix" msiexec /i "$(msi_path "$newer")" /qn
[ "$(installed_versions)" = "$higher " ] ||
    { echo "after the upgrade: $(installed_versions)" >&2; exit 1; }
for refused in "$msi" "$rebuilt"; do
    status=0
    SIZEWALK_WINE_TIMEOUT=120 "$wine_run" "$prefix" plain msiexec /i "$(msi_path "$refused")" /qn \
        '/l*v' 'C:\refused.log' </dev/null >/dev/null 2>&1 || status=$?
    # Refused by the launch condition, whose message Wine's log leaves out.
    if [ "$status" -eq 0 ] || [ "$(installed_versions)" != "$higher " ] ||
        ! grep -a '^Action start' "$prefix/drive_c/refused.log" | tail -1 |
        grep -q 'LaunchConditions'; then
        echo "$(basename "$refused") over $higher: status $status, $(installed_versions)" >&2
        exit 1
    fi
done
run_in "$prefix" msiexec /i "$(msi_path "$newer")" /qn
run_in "$prefix" msiexec /x "$(msi_path "$newer")" /qn
if [ -e "$installed/sizewalk.exe" ] || [ -e "$installed/sizewalk.com" ] || [ -e "$shortcut" ] ||
    [ -n "$(installed_versions)" ]; then
    echo "the uninstall left the program, its shortcut or its entry behind" >&2
    exit 1
fi
echo "installer: installed, ran from Program Files and at the prompt, upgraded, refused an"
echo "older and a rebuilt package, removed cleanly"

echo "== The window on a virtual X server"
shot=$(mktemp --suffix=.png)
scripts/screenshot-windows "$shot"
read -r width height < <(identify -format '%w %h\n' "$shot")
rm -f "$shot"
echo "window with frame: ${width}x${height}"
[ "$width" -ge 397 ] && [ "$height" -ge 362 ]
