#!/usr/bin/env bash
# Starts the real program under Xvfb, types an e-mail pattern with named groups and a
# look-ahead into the pattern box and a subject into the text box, shows the Explanation pane
# from the View menu (Tests and Group hidden, so that the pane has the bottom's width), selects
# the line of the host group, and saves the window as docs/screenshot-explanation.png: the outline of
# sentences with that line highlighted, the same element selected in the pattern box and
# in the structure tree. Needs Xvfb, xdotool and ImageMagick:
#   apt-get install xvfb xdotool imagemagick
#   app/ui/tools/explanation_shot.sh [BUILD_DIR] [OUTPUT]
# The settings go to a temporary home, so a developer's own layout is not used.
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build}
out=${2:-docs/screenshot-explanation.png}

. app/ui/tools/xvfb_session.sh
shot_needs explanation_shot "$build" Xvfb xdotool /usr/bin/convert /usr/bin/import
xvfb_session 90
korvane_window "$build"

# The pattern box is the first box of the work area, below the three bars.
xdotool mousemove "$((WIDTH / 2))" 150 click 1
sleep 0.3
xdotool type --delay 20 '(?<user>[\w.+-]+)@(?<host>[\w-]+(?:\.[\w-]+)+)(?=\s|$)'
sleep 1.5
# The text box below it.
xdotool mousemove "$((WIDTH / 2))" 400 click 1
sleep 0.3
xdotool type --delay 10 'Write to ann.lee@mail.example.org or bob@test.io today.'
sleep 1.5

# View > Explanation, then View > Tests and View > Group to hide them: the pane gets the
# bottom's whole width.
for key in x e g; do
  xdotool key alt+v
  sleep 0.5
  xdotool key "$key"
  sleep 1
done

# A click on the pane's first line (the whole pattern), then down to the line of the host group:
# root, group 1, its repeat, class, \w, "@", group 2.
xdotool mousemove "$((WIDTH / 2))" "$((HEIGHT - 250))" click 1
sleep 0.5
xdotool key Home
for _ in 1 2 3 4 5 6; do
  xdotool key Down
  sleep 0.2
done
sleep 1
xdotool mousemove "$((WIDTH / 2))" 400
sleep 0.5
/usr/bin/import -window root "$work/full.png"
/usr/bin/convert "$work/full.png" -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$out"
echo "explanation_shot: wrote $out"
