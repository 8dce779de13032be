// What the editor views take from the main frame: the template ids of their context menus,
// shown through ShowViewContextMenu (frame_services.h), and the saved fonts.
#ifndef KORVANE_EDITOR_FRAME_LINK_H
#define KORVANE_EDITOR_FRAME_LINK_H

#include <QPoint>
#include <QWidget>

#include "app/ui/shared/frame_services.h"
#include "app/ui/shared/saved_font.h"

// Context menu templates: the pattern box, and the structure tree / group list.
constexpr int kPatternContextMenu = 145;
constexpr int kElementContextMenu = 136;

#endif
