# The network benchmark still runs, on a small tree served through FUSE
# with a short delay, and sizewalk's rows still match the tree's record (no
# timing is judged here). Needs /dev/fuse. On every way out the benchmark is
# stopped first (it unmounts what it mounted), then whatever is still
# mounted below its directory is unmounted.
set -euo pipefail
work=$(mktemp -d)
bench=""
cleanup() {
    if [ -n "$bench" ]; then
        kill -TERM "$bench" 2>/dev/null || true
        wait "$bench" 2>/dev/null || true
    fi
    # Innermost first: the bind mounts, then the FUSE mount they come from.
    awk -v dir="$work/" 'index($5, dir) == 1 { print $5 }' /proc/self/mountinfo | sort -r |
        while read -r mounted; do
            timeout 10 fusermount3 -u -z "$mounted" 2>/dev/null || timeout 10 umount -l "$mounted" || true
        done
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
timeout 300 bench/network --files 1500 --dirs 120 --subdirs 4 --settings 0.2:0,1:60 \
    --threads 8,64 --work-dir "$work" --binary build/src/sizewalk &
bench=$!
wait "$bench"
bench=""
