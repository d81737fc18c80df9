#!/usr/bin/env bash
# Lints what a desktop or man reader sees: the desktop entry and the man page.
# The tools come from scripts/deps/package.txt (scripts/install-deps package).
# Usage: check-docs.sh desktop FILE | check-docs.sh man FILE VERSION
set -euo pipefail
case $1 in
desktop)
    command -v desktop-file-validate >/dev/null || { echo "FAIL: no desktop-file-validate"; exit 1; }
    # Hints are advice; errors and warnings fail.
    out=$(desktop-file-validate "$2" 2>&1) || { echo "$out"; exit 1; }
    if grep -E ': (error|warning):' <<<"$out"; then
        exit 1
    fi
    ;;
man)
    command -v man >/dev/null || { echo "FAIL: no man"; exit 1; }
    errors=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$2" 2>&1 >/dev/null)
    if [ -n "$errors" ]; then
        echo "FAIL: man warns:"
        echo "$errors"
        exit 1
    fi
    if ! head -1 "$2" | grep -qF "\"Sizewalk $3\""; then
        echo "FAIL: the page's title line does not name version $3: $(head -1 "$2")"
        exit 1
    fi
    ;;
*)
    echo "unknown check: $1" >&2
    exit 2
    ;;
esac
