#!/usr/bin/env bash
# Starts the real program under Xvfb, types "\d+$" into the pattern box and "2024" into the
# text box, shows the Flavours pane, selects the Python cell of the text box's row (the same
# there), presses "Find a Difference" and saves the window as docs/flavours-difference.png: the
# short text found on which Python and Korvane differ, side by side, with "Add as Test". Needs Xvfb,
# xdotool, ImageMagick and the flavours' runtimes (scripts/setup installs them):
#   apt-get install xvfb xdotool imagemagick
#   app/ui/panes/flavours/tools/difference_shot.sh [BUILD_DIR] [OUTPUT]
# The settings go to a temporary home, so a developer's own layout is not used.
set -euo pipefail
cd "$(dirname "$0")/../../../../.."
build=${1:-build}
out=${2:-docs/flavours-difference.png}
. app/ui/tools/xvfb_session.sh
. app/ui/panes/flavours/tools/flavours_pane_steps.sh
shot_needs difference_shot "$build" Xvfb xdotool /usr/bin/convert /usr/bin/import
xvfb_session 110
korvane_window "$build"

# The pattern, typed into the pattern box.
xdotool mousemove 640 150 click 1
sleep 0.5
xdotool type --delay 20 '\d+$'
sleep 0.5
# The text: a click into the text box, then the date and a line break.
xdotool mousemove 640 ${SHOT_TEXT_Y:-330} click 1
sleep 0.5
xdotool type --delay 20 '2024'
sleep 1
show_flavours_pane
# Find a Difference, beside "Flavours..." at the pane's top right; the search starts runners of
# its own.
xdotool mousemove ${SHOT_FIND_X:-1133} ${SHOT_FIND_Y:-507} click 1
sleep ${SHOT_FIND_WAIT:-8}
xdotool mousemove 640 120
sleep 0.5
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
/usr/bin/import -window root "$work/full.png"
/usr/bin/convert "$work/full.png" -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$out"
echo "difference_shot: wrote $out"
