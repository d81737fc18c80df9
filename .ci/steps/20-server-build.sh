# The server build without the window (-DSIZEWALK_GUI=OFF, as scripts/run
# and the README's server installation make it): every test runs there too.
# In Release: at -O3 g++ warns of what it does not see at -O2, and with
# SIZEWALK_WERROR a warning fails.
set -euo pipefail
cmake -S . -B build-server -DCMAKE_BUILD_TYPE=Release -DSIZEWALK_GUI=OFF \
    -DSIZEWALK_TESTS=ON -DSIZEWALK_WERROR=ON >/dev/null
cmake --build build-server -j"$(nproc)"
ctest --test-dir build-server --output-on-failure -j"$(nproc)"
