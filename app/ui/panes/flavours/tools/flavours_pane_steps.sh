# Sourced by the Flavours pane's screenshot scripts, after a window is up ($window) with the
# pattern and the text typed in: brings the Flavours pane forward with the bottom's whole
# width and the lower half of the window, waits for the runners (SHOT_WAIT seconds), and
# selects the Python cell of the text box's row, which the pane then shows side by side.
show_flavours_pane() {
  # View > Flavours: the pane comes forward as a tab beside Tests; the runners start (a cold JVM
  # and Mono take a few seconds).
  xdotool key alt+v f
  sleep 1
  # View > Group hides the group list, so that the Flavours pane has the bottom's whole width.
  xdotool key alt+v g
  sleep 1
  # The bottom docks get the lower half of the window: the separator above them dragged up.
  xdotool mousemove 640 ${SHOT_SEPARATOR_Y:-634} mousedown 1
  sleep 0.3
  xdotool mousemove 640 400
  sleep 0.3
  xdotool mousemove 640 ${SHOT_SEPARATOR_TO:-470}
  sleep 0.3
  xdotool mouseup 1
  sleep ${SHOT_WAIT:-12}
  # The Python cell of the text box's row (the third column).
  xdotool mousemove ${SHOT_CELL_X:-361} ${SHOT_CELL_Y:-578} click 1
  sleep 1
}
