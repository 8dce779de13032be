// What the editor views take from the main frame when it is there: its context menus by
// template id and the saved fonts. The views and their tests also build without the frame (the
// menus are then built locally from the string table, and the font is read directly).
#ifndef KORVANE_EDITOR_FRAME_LINK_H
#define KORVANE_EDITOR_FRAME_LINK_H

#include <QPoint>
#include <QWidget>

#if __has_include("app/ui/frame_services.h")
#include "app/ui/frame_services.h"
#define KORVANE_EDITOR_HAVE_FRAME_SERVICES 1
#else
#define KORVANE_EDITOR_HAVE_FRAME_SERVICES 0
#endif

#if __has_include("app/ui/saved_font.h")
#include "app/ui/saved_font.h"
#define KORVANE_EDITOR_HAVE_SAVED_FONT 1
#else
#define KORVANE_EDITOR_HAVE_SAVED_FONT 0
#endif

// Context menu templates: the pattern box, and the structure tree / group list.
constexpr int kPatternContextMenu = 145;
constexpr int kElementContextMenu = 136;

// Shows the frame's context menu `templateId` for `view` (which becomes the active view, the
// target of the menu's commands). False when there is no frame: the caller builds its own.
inline bool ShowFrameContextMenu(int templateId, QWidget* view, const QPoint& globalPos) {
#if KORVANE_EDITOR_HAVE_FRAME_SERVICES
  if (CFrameServices* frame = CFrameServices::Get()) {
    frame->ShowContextMenu(templateId, view, globalPos);
    return true;
  }
#endif
  return false;
}

#endif
