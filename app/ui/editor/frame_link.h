// What the editor views take from the main frame when it is there: its context menus by
// template id. Without a frame (the views' own tests) the views build their menus locally from
// the string table.
#ifndef KORVANE_EDITOR_FRAME_LINK_H
#define KORVANE_EDITOR_FRAME_LINK_H

#include <QPoint>
#include <QWidget>

#include "app/ui/frame_services.h"
#include "app/ui/saved_font.h"

// Context menu templates: the pattern box, and the structure tree / group list.
constexpr int kPatternContextMenu = 145;
constexpr int kElementContextMenu = 136;

// Shows the frame's context menu `templateId` for `view` (which becomes the active view, the
// target of the menu's commands). False when there is no frame: the caller builds its own.
inline bool ShowFrameContextMenu(int templateId, QWidget* view, const QPoint& globalPos) {
  if (CFrameServices* frame = CFrameServices::Get()) {
    frame->ShowContextMenu(templateId, view, globalPos);
    return true;
  }
  return false;
}

#endif
