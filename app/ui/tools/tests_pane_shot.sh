#!/usr/bin/env bash
# Starts the real program under Xvfb on a workspace with tests (written by tests_shot_workspace),
# selects the test that fails in a flavour, loads its subject into the text box, and saves
# the window as docs/screenshot-tests.png: the Tests pane with passing and failing tests, their
# marks and reasons (one test fails in Python, a flavour it must pass in: the runners check it in
# the background), the editor of the selected test and the count in the status bar. Needs
# Xvfb, xdotool and ImageMagick:
#   apt-get install xvfb xdotool imagemagick
#   app/ui/tools/tests_pane_shot.sh [BUILD_DIR] [OUTPUT]
# The settings go to a temporary home, so a developer's own layout is not used.
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build}
out=${2:-docs/screenshot-tests.png}
. app/ui/tools/xvfb_session.sh
shot_needs tests_pane_shot "$build" Xvfb xdotool /usr/bin/convert /usr/bin/import
ninja -C "$build" tests_shot_workspace >/dev/null

xvfb_session 80
"$build/bin/tests_shot_workspace" "$work/dates.rws"
korvane_window "$build" "$work/dates.rws"

# The Tests pane sits at the bottom, its list on the left of its editor. A click into the
# list gives it the focus; the keyboard then selects the last row ("Arabic-Indic digits", which
# passes here and fails in Python) and Return loads its subject into the text box.
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
xdotool windowfocus "$window" || true
xdotool mousemove "$((WIDTH * 5 / 12))" "$((HEIGHT - 150))" click 1
sleep 0.5
xdotool key End
sleep 0.5
xdotool key Return
# Time for the Python and JavaScript runners to start and answer.
sleep ${SHOT_WAIT:-6}
xdotool mousemove "$((WIDTH / 2))" 400
sleep 0.5
/usr/bin/import -window root "$work/full.png"
/usr/bin/convert "$work/full.png" -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$out"
echo "tests_pane_shot: wrote $out"
