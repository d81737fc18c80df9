# The tree is formatted with the repository's .clang-format.
set -euo pipefail
git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror
