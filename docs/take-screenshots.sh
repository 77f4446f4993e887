#!/usr/bin/env bash
# Takes the README's screenshots of the program's windows: the main window, the response list
# editor after "Créer/Create Dir" and "Créer/Create File" on a sample tree, the properties dialog
# showing the header of the sample's archive, the warning after a failed build, and the archive
# window on the sample's archive. Runs a copy of
# Morvane on a virtual display with a window manager, so the windows have their title bars; the
# copy keeps its settings file in a temporary folder, so yours is left as it is.
# Needs a build (bash scripts/test.sh or scripts/run.sh) first.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/project-version.sh
ensure_packages xvfb xauth openbox xdotool x11-utils imagemagick fonts-dejavu-extra

if [ -z "${DISPLAY:-}" ] || [ "${1:-}" != "--on-display" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --on-display
fi
# The main window's title carries the version.
title="Morvane v$(project_version build)"

sample=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait; rm -rf "$sample"' EXIT
export XDG_CONFIG_HOME=$sample/config
cli=build/src/cli/morvane-cli

# The add-on's files, with the mixed-case and accented names of a real tree.
addon=$sample/Addon
mkdir -p "$addon/textures" "$addon/sons" "$addon/modèles"
for file in textures/Hull.raw textures/wing_left.raw sons/Laser.wav sons/moteur.wav \
    modèles/Chasseur.bin "Liste des pièces.txt" lisez-moi.txt; do
    printf '%s' "$file" > "$addon/$file"
done

# A copy of the program keeps its Morvane.ini beside it: this one names the add-on's folder.
mkdir -p "$sample/bin"
cp build/src/app/Morvane "$sample/bin/"
printf '[dir]\nworkdir=%s\n' "$addon" > "$sample/bin/Morvane.ini"

# The id of the visible window whose title matches, once it shows (at most 10 s). The search is
# retried, as it fails when a window closes while it runs.
window() {
    local id tries=0
    until id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$id" ]; do
        tries=$((tries + 1))
        [ "$tries" -lt 50 ] || { echo "No window \"$1\" showed" >&2; return 1; }
        sleep 0.2
    done
    echo "$id"
}

# The screenshot of a window with its window manager's frame. (xwininfo, as xdotool counts the
# frame twice in a window's position.)
take() {
    local window=$1 file=$2 x y width height left right top bottom
    sleep 1
    x=$(xwininfo -id "$window" | sed -n 's/.*Absolute upper-left X: *//p')
    y=$(xwininfo -id "$window" | sed -n 's/.*Absolute upper-left Y: *//p')
    width=$(xwininfo -id "$window" | sed -n 's/.*Width: *//p')
    height=$(xwininfo -id "$window" | sed -n 's/.*Height: *//p')
    read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    import -window root -crop "$((width + left + right))x$((height + top + bottom))+$((x - left))+$((y - top))" \
        +repage "$file"
}

openbox &
sleep 1
"$sample/bin/Morvane" &
main=$(window "$title")
take "$main" docs/main-window.png

# "Create 'Response File'", then "Créer/Create Dir" on the working folder itself, then
# "Créer/Create File" on one file, which is added in upper case.
xdotool mousemove --window "$main" 80 75 click 1
editor=$(window "Create 'response file'")
sleep 1
xdotool mousemove --window "$editor" 225 12 click 1
window "Browse for folder" >/dev/null
sleep 1
xdotool key Return
sleep 1
xdotool mousemove --window "$editor" 132 12 click 1
window "^Open$" >/dev/null
sleep 1
xdotool type --delay 20 "lisez-moi.txt"
xdotool key Return
# The pointer leaves the tool bar once the dialog has closed, so no button shows as hovered.
sleep 1
xdotool mousemove --window "$editor" 300 250 mousemove --window "$editor" 300 300
take "$editor" docs/editor.png
xdotool mousemove --window "$editor" 485 12 click 1

# The archive's header in the properties dialog: "Priorité/Priority", then the archive's name.
printf 'textures\\Hull.raw\r\nsons\\Laser.wav\r\n' > "$addon/list.txt"
$cli build "$addon/list.txt" --quiet --description "Forêt enchantée, textures" \
    --version 3 --priority 1200 --author "Morgane L." --copyright "(c) 2026 Morgane L."
sleep 1
xdotool mousemove --window "$main" 80 244 click 1
window "^Open$" >/dev/null
sleep 1
xdotool key ctrl+a
xdotool type --delay 20 "$addon/list.POD"
xdotool key Return
properties=$(window "Copyright du fichier POD")
take "$properties" docs/properties-dialog.png
xdotool mousemove --window "$properties" 515 212 click 1

# "Create POD" on a list naming a file that does not exist: the warning with its cause.
printf 'textures\\Hull.raw\r\nmanquant.bin\r\n' > "$addon/incomplet.txt"
sleep 1
xdotool mousemove --window "$main" 80 155 click 1
window "^Open$" >/dev/null
sleep 1
xdotool key ctrl+a
xdotool type --delay 20 "$addon/incomplet.txt"
xdotool key Return
properties=$(window "Copyright du fichier POD")
sleep 1
xdotool mousemove --window "$properties" 440 212 click 1
warning=$(window "^Warning$")
take "$warning" docs/build-failure.png
xdotool key Return

# The archive window on the whole add-on, opened by Ctrl+O in the main window, its folders
# expanded and one entry selected.
printf '%s\r\n' 'textures\Hull.raw' 'textures\wing_left.raw' 'sons\Laser.wav' 'sons\moteur.wav' \
    "$(printf 'mod\xe8les\\Chasseur.bin')" "$(printf 'Liste des pi\xe8ces.txt')" 'lisez-moi.txt' >"$addon/addon.txt"
$cli build "$addon/addon.txt" --quiet --description "Forêt enchantée" --version 3 --priority 1200 \
    --author "Morgane L." --copyright "(c) 2026 Morgane L."
sleep 1
xdotool windowactivate --sync "$main" key ctrl+o
window "^Open an archive$" >/dev/null
sleep 1
xdotool key ctrl+a
xdotool type --delay 20 "$addon/addon.POD"
xdotool key Return
archive=$(window "addon.POD - Morvane")
sleep 1
xdotool key ctrl+shift+Right
xdotool key Down Down Down
take "$archive" docs/archive-window.png
echo "Wrote docs/main-window.png, docs/editor.png, docs/properties-dialog.png, docs/build-failure.png and docs/archive-window.png"
