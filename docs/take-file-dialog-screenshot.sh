#!/usr/bin/env bash
# Takes the README's screenshot of the file dialog listing POD3 archives under their own type
# name and icon. Installs the build into a temporary prefix, makes that prefix's MIME database
# and runs the installed Morvane on a virtual display with a window manager.
# Needs a build (bash scripts/test.sh or scripts/run.sh) first.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/project-version.sh
ensure_packages xvfb xauth openbox xdotool imagemagick fonts-dejavu-extra shared-mime-info

if [ -z "${DISPLAY:-}" ] || [ "${1:-}" != "--on-display" ]; then
    exec xvfb-run -a -s "-screen 0 1024x600x24" bash "$0" --on-display
fi
# The main window's title carries the version.
title="Morvane v$(project_version build)"

work=$(mktemp -d)
trap 'rm -rf "$work"; kill $(jobs -p) 2>/dev/null || true' EXIT
cmake --install build --prefix "$work/usr" >/dev/null
XDG_DATA_DIRS=$work/usr/share update-mime-database "$work/usr/share/mime"
export XDG_DATA_DIRS=$work/usr/share:/usr/share XDG_DATA_HOME=$work/data HOME=$work/home
# As in a desktop session: Qt then shows each file with its type's icon from the icon theme.
export XDG_CURRENT_DESKTOP=GNOME

archives=$work/home/Archives
mkdir -p "$archives/textures"
printf 'sample' > "$archives/textures/forest.bin"
printf 'textures\\forest.bin\r\n' > "$archives/forest.txt"
cli=$work/usr/bin/morvane-cli
$cli build "$archives/forest.txt" --quiet --description "Forêt enchantée"
cp "$archives/forest.txt" "$archives/ships.txt"
$cli build "$archives/ships.txt" --quiet --description "Vaisseaux"
cp "$archives/forest.POD" "$archives/OLD_TERRAIN.POD"

openbox &
sleep 1
"$work/usr/bin/Morvane" &
main=$(xdotool search --sync --name "$title" | head -1)
sleep 1
# "Priorité/Priority" opens the file dialog; show the folder with its details.
xdotool mousemove --window "$main" 80 244 click 1
dialog=$(xdotool search --sync --name "^Open" | head -1)
sleep 1
xdotool type --delay 20 "$archives/"
xdotool key Return
sleep 1
xdotool windowsize "$dialog" 700 330
sleep 1
eval "$(xdotool getwindowgeometry --shell "$dialog")"
# The dialog's "Detail View" button: the second of the two at the top right.
xdotool mousemove --window "$dialog" $((WIDTH - 26)) 22 click 1
sleep 1
# Fit the Date, Type and Size columns to their texts (a double click on a column's right edge),
# from right to left so that each edge is still where it was.
for edge in 606 495 431; do
    xdotool mousemove --window "$dialog" "$edge" 52 click --repeat 2 --delay 80 1
    sleep 0.5
done
import -frame -window "$dialog" docs/file-dialog.png
echo "Wrote docs/file-dialog.png"
