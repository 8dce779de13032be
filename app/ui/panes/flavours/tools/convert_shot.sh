#!/usr/bin/env bash
# Starts the real program under Xvfb, types a date pattern with a named group into the pattern
# box and two dates into the text box, shows the Flavours pane, selects the Python cell and
# presses "Convert...": the dialog converts the pattern to Python and checks it in CPython's
# engine. Saves the window with the dialog as docs/convert-dialog.png. Needs Xvfb, xdotool,
# ImageMagick and python3:
#   app/ui/panes/flavours/tools/convert_shot.sh [BUILD_DIR] [OUTPUT]
set -euo pipefail
cd "$(dirname "$0")/../../../../.."
build=${1:-build}
out=${2:-docs/convert-dialog.png}
. app/ui/tools/xvfb_session.sh
. app/ui/panes/flavours/tools/flavours_pane_steps.sh
shot_needs convert_shot "$build" Xvfb xdotool /usr/bin/convert /usr/bin/import
xvfb_session 140
korvane_window "$build"

xdotool mousemove 640 150 click 1
sleep 0.5
xdotool type --delay 20 '(?<year>\d{4})-(\d\d)\b'
sleep 0.5
xdotool mousemove 640 ${SHOT_TEXT_Y:-330} click 1
sleep 0.5
xdotool type --delay 20 '2024-05 and 1999-12'
sleep 1
show_flavours_pane
# "Convert..." beside "Find a Difference", at the top right of the pane.
xdotool mousemove ${SHOT_CONVERT_X:-1178} ${SHOT_CONVERT_Y:-507} click 1
sleep ${SHOT_CHECK_WAIT:-6}
/usr/bin/import -window root "$work/full.png"
/usr/bin/convert "$work/full.png" -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$out"
echo "convert_shot: wrote $out"
