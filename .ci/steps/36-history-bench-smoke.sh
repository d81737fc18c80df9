# The history benchmark still runs, and the report's latest sizes still
# match a Python pass over the same file, on a small history (no timing is
# judged here).
set -euo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
bench/history --days 60 --subdirs 40 --rounds 1 --dir "$dir" --binary build/src/sizewalk
