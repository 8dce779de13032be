#!/usr/bin/env bash
# Starts the real program under Xvfb, types a date pattern with named groups and a look-ahead
# for a negated class into the pattern box, shows the Diagram pane from the View menu (and hides
# Tests, its tab neighbour, so that it has the bottom to itself), puts the caret into the month
# group so that its box is outlined, and saves the window as docs/screenshot-diagram.png. Needs
# Xvfb, xdotool and ImageMagick:
#   apt-get install xvfb xdotool imagemagick
#   app/ui/tools/diagram_pane_shot.sh [BUILD_DIR] [OUTPUT]
# The settings go to a temporary home, so a developer's own layout is not used.
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build}
out=${2:-docs/screenshot-diagram.png}

. app/ui/tools/xvfb_session.sh
shot_needs diagram_pane_shot "$build" Xvfb xdotool /usr/bin/convert /usr/bin/import
xvfb_session 90
korvane_window "$build"

# A click into the pattern box, then the pattern.
xdotool mousemove 640 150 click 1
sleep 0.5
pattern='(?<year>\d{4})-(?<month>0[1-9]|1[0-2])-(?<day>\d{2})(?=[^\d-]|$)'
xdotool type --delay 20 "$pattern"
sleep 1.5
# View > Diagram, then View > Tests to hide the neighbour tab.
xdotool key alt+v d
sleep 1
xdotool key alt+v e
sleep 1
# The caret into "0[1-9]" of the month group: the group's first branch becomes current.
xdotool key Home
for _ in $(seq 1 26); do xdotool key Right; done
sleep 1
xdotool mousemove 640 120
sleep 0.5
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
/usr/bin/import -window root "$work/full.png"
/usr/bin/convert "$work/full.png" -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$out"
echo "diagram_pane_shot: wrote $out"
