# The history's HTML page in a real browser (headless Chromium), made under
# the C locale and under a German one (a decimal comma): rendered to a
# picture, the chart must be there, told by the colours of its three largest
# growers' lines (pixels of exactly those colours, far more than the
# legend's).
set -euo pipefail
shot=$(mktemp --suffix=.png)
trap 'rm -f "$shot"' EXIT
for locale in C.UTF-8 de_DE.UTF-8; do
    echo "LC_ALL=$locale"
    LC_ALL=$locale scripts/history-picture "$shot"
    histogram=$(convert "$shot" -format %c histogram:info:-)
    for colour in '#1F77B4' '#D62728' '#2CA02C'; do
        pixels=$(awk -v c="$colour" 'toupper($3) == c { sub(":", "", $1); print $1 }' <<<"$histogram")
        echo "$colour: ${pixels:-0} pixels"
        if [ "${pixels:-0}" -lt 800 ]; then
            echo "FAIL: the chart's line in $colour is missing under $locale"
            exit 1
        fi
    done
done
