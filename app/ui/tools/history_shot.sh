#!/usr/bin/env bash
# Starts the real program under Xvfb, types a pattern and a text, sets a breakpoint on the `@`
# (F9), runs a traced match to it (F10, then F3), steps on a few times (F10), steps back twice
# (Shift+F10) and saves the window as docs/screenshot-history.png: the paused trace at an
# earlier step, the breakpoint's mark in the pattern box and the tree, the Stack bar's timeline
# slider short of its end, the stack as it was, and the group list with the captures of that
# step. Needs Xvfb, xdotool and
# ImageMagick:
#   apt-get install xvfb xdotool imagemagick
#   app/ui/tools/history_shot.sh [BUILD_DIR] [OUTPUT]
# The settings go to a temporary home, so a developer's own layout is not used.
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build}
out=${2:-docs/screenshot-history.png}

. app/ui/tools/xvfb_session.sh
shot_needs history_shot "$build" Xvfb xdotool /usr/bin/convert /usr/bin/import
xvfb_session 60
korvane_window "$build"
# The pattern box is at the top of the work pane, the text box under it.
xdotool mousemove 640 150 click 1
sleep 0.3
xdotool type --delay 40 '(\w+)@(\w+)\.com'
sleep 0.5
# The caret on the `@` (the sixth character), then the breakpoint on it.
xdotool key Home
for _ in 1 2 3 4 5; do xdotool key Right; done
xdotool key shift+Right
sleep 0.3
xdotool key F9
sleep 0.5
xdotool mousemove 640 400 click 1
sleep 0.3
xdotool type --delay 20 'mail: ann@site.org, bob@home.com'
sleep 1
xdotool key F10
sleep 0.5
xdotool key F3
sleep 0.5
for _ in 1 2 3 4 5 6; do
  xdotool key F10
  sleep 0.3
done
xdotool key shift+F10
sleep 0.3
xdotool key shift+F10
sleep 1
# The Stack bar is hidden in the default layout: the bars' menu (a right click on the tool bar)
# shows it.
xdotool mousemove 900 34 click 3
sleep 0.8
xdotool mousemove 944 110 click 1
sleep 1
xdotool mousemove 640 500
sleep 0.5
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
/usr/bin/import -window root "$work/full.png"
/usr/bin/convert "$work/full.png" -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$out"
echo "history_shot: wrote $out"
