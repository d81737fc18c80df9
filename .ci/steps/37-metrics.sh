# The metrics timer's path end to end: `sizewalk --history --format=openmetrics
# --output=...` into a textfile collector's directory, and Debian's node
# exporter, started here on 127.0.0.1 over that directory (and stopped at the
# end), scraped with curl: the sizewalk series arrive, names with a quote and
# a backslash included, the fitted growth per subdirectory and in total (which
# the collector gives an empty subdirectory label), and the collector reports
# no error.
set -euo pipefail
scripts/install-deps metrics >/dev/null
binary=$(realpath build/src/sizewalk)
tmp=$(mktemp -d)
exporter=
cleanup() {
    if [ -n "$exporter" ]; then
        kill "$exporter" 2>/dev/null || true
        wait "$exporter" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

mkdir -p "$tmp/data/alpha" "$tmp/data/say \"hi\" \\ bye" "$tmp/textfile"
head -c 5000 /dev/zero >"$tmp/data/alpha/file"
# Two earlier days where alpha was empty: with today's runs, enough for a fit.
for days in 3 2; do printf '%s,0,alpha\r\n' "$(date -d "-$days day" +%d/%m/%Y)"; done \
    >"$tmp/data/Sizewalk.csv"
for _ in 1 2; do "$binary" 3 "$tmp/data/" >/dev/null; done
prom=$tmp/textfile/sizewalk-data.prom
"$binary" --history "$tmp/data/" --format=openmetrics --output="$prom"
# Nothing but the report is left in the collector's directory.
[ "$(ls -A "$tmp/textfile")" = sizewalk-data.prom ] || { ls -A "$tmp/textfile"; exit 1; }

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
prometheus-node-exporter --web.listen-address="127.0.0.1:$port" --collector.disable-defaults \
    --collector.textfile --collector.textfile.directory="$tmp/textfile" >"$tmp/exporter.log" 2>&1 &
exporter=$!
metrics=
for _ in $(seq 50); do
    if metrics=$(curl -fsS --max-time 2 "http://127.0.0.1:$port/metrics" 2>/dev/null); then
        break
    fi
    sleep 0.2
done
dir="$tmp/data/"
for series in \
    "sizewalk_subdirectory_bytes{directory=\"$dir\",subdirectory=\"alpha\"} 5000" \
    "sizewalk_subdirectory_measured{directory=\"$dir\",subdirectory=\"say \\\"hi\\\" \\\\ bye\"} 1" \
    "sizewalk_growth_bytes_per_day{directory=\"$dir\",subdirectory=\"alpha\"} 1852" \
    "sizewalk_growth_bytes_per_day{directory=\"$dir\",subdirectory=\"\"} 1852" \
    "node_textfile_scrape_error 0"; do
    if ! grep -qxF "$series" <<<"$metrics"; then
        echo "FAIL: the scrape lacks: $series"
        echo "$metrics" | grep -E '^(sizewalk|node_textfile)' || true
        cat "$tmp/exporter.log"
        exit 1
    fi
done
grep -c '^sizewalk_' <<<"$metrics" | xargs echo "sizewalk series scraped:"
