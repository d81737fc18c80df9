# The window on a real X server (Xvfb with a window manager): it must come up
# and be captured at its full size, frame included.
set -euo pipefail
shot=$(mktemp --suffix=.png)
trap 'rm -f "$shot"' EXIT
scripts/screenshot "$shot"
read -r width height < <(identify -format '%w %h\n' "$shot")
echo "window with frame: ${width}x${height}"
[ "$width" -ge 397 ] && [ "$height" -ge 362 ]
