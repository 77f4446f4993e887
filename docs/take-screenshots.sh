#!/usr/bin/env bash
# Takes the README's screenshots: the main window, and the properties dialog showing the header
# of a small sample archive. Runs Morvane on a virtual display with a window manager, so the
# windows have their title bars. Needs a build (bash scripts/test.sh or scripts/run.sh) first.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages xvfb xauth openbox xdotool imagemagick fonts-dejavu-extra

if [ -z "${DISPLAY:-}" ] || [ "${1:-}" != "--on-display" ]; then
    exec xvfb-run -a -s "-screen 0 1024x600x24" bash "$0" --on-display
fi

sample=$(mktemp -d)
trap 'rm -rf "$sample"; kill $(jobs -p) 2>/dev/null || true' EXIT
mkdir -p "$sample/data"
printf 'sample' > "$sample/data/forest.bin"
printf 'forest.bin\r\n' > "$sample/data/list.txt"
build/src/cli/morvane-cli build "$sample/data/list.txt" --description "Forêt enchantée, textures" \
    --version 3 --priority 1200 --author "Morgane L." --copyright "(c) 2026 Morgane L."

openbox &
sleep 1
build/src/app/Morvane &
sleep 2
main=$(xdotool search --sync --name "Morvane v1.3" | head -1)
# The main window is alone on a black screen: trimming the black leaves it with its frame.
import -window root -trim +repage docs/main-window.png

# "Priorité/Priority", then the archive's name in the file dialog.
xdotool mousemove --window "$main" 80 244 click 1
sleep 1.5
xdotool type --delay 20 "$sample/data/list.POD"
xdotool key Return
sleep 1.5
import -window root -crop 572x264+414+152 +repage docs/properties-dialog.png
echo "Wrote docs/main-window.png and docs/properties-dialog.png"
