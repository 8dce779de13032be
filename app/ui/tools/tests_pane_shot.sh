#!/usr/bin/env bash
# Starts the real program under Xvfb on a workspace with tests (written by tests_shot_workspace),
# selects a failing test, double-clicks it so that its subject is in the text box, and saves
# the window as docs/screenshot-tests.png: the Tests pane with passing and failing tests, their
# marks and reasons, the editor of the selected test and the count in the status bar. Needs
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
# list's empty part gives it the focus; the keyboard then selects row 7 ("Three dates", which
# fails) and Return loads its subject into the text box.
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
xdotool windowfocus "$window" || true
xdotool mousemove "$((WIDTH * 5 / 12))" "$((HEIGHT - 45))" click 1
sleep 0.5
xdotool key Home Down Down Down Down Down Down
sleep 0.5
xdotool key Return
sleep 1.5
xdotool mousemove "$((WIDTH / 2))" 400
sleep 0.5
/usr/bin/import -window root "$work/full.png"
/usr/bin/convert "$work/full.png" -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$out"
echo "tests_pane_shot: wrote $out"
