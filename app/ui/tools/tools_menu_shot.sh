#!/usr/bin/env bash
# Starts the real program under Xvfb with the plugins beside it, types a pattern, opens every
# submenu of Tools (and the Optimize Pattern > Group popup) and puts the six pictures together
# into one (docs/screenshot-tools-menus.png by default). Needs Xvfb, xdotool and ImageMagick:
#   apt-get install xvfb xdotool imagemagick
#   app/ui/tools/tools_menu_shot.sh [BUILD_DIR] [OUTPUT]
# The settings go to a temporary home, so a developer's own layout is not used.
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build}
out=${2:-docs/screenshot-tools-menus.png}

. app/ui/tools/xvfb_session.sh
shot_needs tools_menu_shot "$build" Xvfb xdotool /usr/bin/convert
xvfb_session 90
korvane_window "$build"

# The pattern box lies below the bars; Tools is the sixth menu of the menu bar.
xdotool mousemove 500 150 click 1
sleep 0.5
xdotool type --delay 30 '(\d+)-"(\w+)"|(?:ab)'
xdotool key ctrl+a
sleep 0.2
xdotool key ctrl+c
sleep 0.5
shot() { /usr/bin/import -window root "$work/full.png" && /usr/bin/convert "$work/full.png" -crop 800x180+0+0 +repage "$1"; }
open_tools() { xdotool key Escape Escape Escape; sleep 0.5; xdotool mousemove 238 8 click 1; sleep 1; }

i=0
for y in 29 51 75 97 121; do  # the five submenus, top to bottom
  i=$((i + 1))
  open_tools
  xdotool mousemove 300 $y
  sleep 1.2
  shot "$work/s$i.png"
done
open_tools
xdotool mousemove 300 121
sleep 1.2
xdotool mousemove 380 121
sleep 0.2
xdotool mousemove 460 121  # Optimize Pattern > Group
sleep 1.5
shot "$work/s6.png"

/usr/bin/convert "$work/s1.png" "$work/s2.png" "$work/s3.png" -background white -splice 0x6 -append "$work/left.png"
/usr/bin/convert "$work/s4.png" "$work/s5.png" "$work/s6.png" -background white -splice 0x6 -append "$work/right.png"
/usr/bin/convert "$work/left.png" "$work/right.png" -background white -splice 6x0 +append +repage "$out"
echo "tools_menu_shot: wrote $out"
