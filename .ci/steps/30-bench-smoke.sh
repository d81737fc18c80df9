# The benchmark script still runs and sizewalk's rows still match make-tree's
# on a small tree (no timing is judged here).
set -euo pipefail
tree_dir=$(mktemp -d)
trap 'rm -rf "$tree_dir"' EXIT
bench/run --files 3000 --rounds 1 --threads 1 --tree-dir "$tree_dir"
