#!/usr/bin/env bash
# Starts the real program under Xvfb, types a date pattern with a Python-style named group into
# the pattern box and "2024-05" followed by a line break into the text box, shows the Flavours
# pane from the View menu, waits for the real engines' answers, selects the Python cell of the
# text box's row, and saves the window as docs/flavours-pane.png: the summary, the matrix with
# its headers (each engine and its version), and the selected cell side by side. Needs Xvfb,
# xdotool, ImageMagick and the flavours' runtimes (scripts/setup installs them):
#   apt-get install xvfb xdotool imagemagick
#   app/ui/panes/flavours/tools/flavours_pane_shot.sh [BUILD_DIR] [OUTPUT]
# The settings go to a temporary home, so a developer's own layout is not used.
set -euo pipefail
cd "$(dirname "$0")/../../../../.."
build=${1:-build}
out=${2:-docs/flavours-pane.png}
. app/ui/tools/xvfb_session.sh
. app/ui/panes/flavours/tools/flavours_pane_steps.sh
shot_needs flavours_pane_shot "$build" Xvfb xdotool /usr/bin/convert /usr/bin/import
xvfb_session 110
korvane_window "$build"

# The pattern, typed into the pattern box.
xdotool mousemove 640 150 click 1
sleep 0.5
xdotool type --delay 20 '(?P<year>\d{4})-(\d\d)$'
sleep 0.5
# The text: a click into the text box, then the date and a line break.
xdotool mousemove 640 ${SHOT_TEXT_Y:-330} click 1
sleep 0.5
xdotool type --delay 20 '2024-05'
xdotool key Return
sleep 1
show_flavours_pane
xdotool mousemove 640 120
sleep 0.5
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
/usr/bin/import -window root "$work/full.png"
/usr/bin/convert "$work/full.png" -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$out"
echo "flavours_pane_shot: wrote $out"
