// CClrTreeCtrl / CClrTreeView: a tree widget that keeps per-item colours in a sorted table of
// (item, text colour, background colour), searched by bisection. While a rebuild appends
// entries the table is in append mode (unsorted) and is sorted once at the end.
//
// Colours are RGB ints (0xRRGGBB, see ClrRgb) with -1 for "the system's": a background of -1 is
// the window colour; a text colour of -1 is automatic: the window-text colour when the
// background's luminance 0.299 R + 0.587 G + 0.114 B is at least 38.4, else white. Automatic
// colours are resolved when the item is drawn, against the palette of that moment, and a
// window-text colour that would not be readable on the background (the light text of a dark
// palette on a light heat colour) gives way to black. A coloured item drawn selected shows
// white text on its background with each channel halved.
//
// Covered by app/ui/editor/tests/tree_group_view_test.cpp and app/ui/results/tests/list_look_test.cpp
// (colours under a dark palette).
#ifndef KORVANE_CLR_TREE_CTRL_H
#define KORVANE_CLR_TREE_CTRL_H

#include <QTreeWidget>
#include <vector>

inline int ClrRgb(int r, int g, int b) { return (r << 16) | (g << 8) | b; }

class CClrTreeCtrl : public QTreeWidget {
  Q_OBJECT

 public:
  explicit CClrTreeCtrl(QWidget* parent = nullptr);

  struct ColorEntry {
    const QTreeWidgetItem* item;
    int text;  // -1: automatic (see above)
    int back;  // -1: window colour
  };

  // Sets an item's colours (see above); an existing entry is overwritten, a new one inserted in
  // order (appended in append mode). Repaints the item when asked.
  void SetItemColor(const QTreeWidgetItem* item, int text, int back, bool repaint = true);
  // Removes an item's entry (for example before the item is deleted).
  void RemoveItemColor(const QTreeWidgetItem* item);
  void ClearColors();
  // Append mode: entries are appended unsorted; EndAppend sorts them.
  void BeginAppend();
  void EndAppend();
  // The entry of an item, or null.
  const ColorEntry* FindColor(const QTreeWidgetItem* item) const;
  const std::vector<ColorEntry>& Colors() const { return m_colors; }

  // The text colour "automatic" resolves to on a background: black (the window-text colour)
  // or white.
  static int AutoTextColor(int back);
  // The colours an entry is drawn with, unselected, under the control's current palette.
  int TextColorOf(const ColorEntry& entry) const;
  int BackColorOf(const ColorEntry& entry) const;

 private:
  std::vector<ColorEntry> m_colors;
  bool m_bSorted = true;
};

// The view form of the control; the tree views of the program derive from it.
class CClrTreeView : public CClrTreeCtrl {
  Q_OBJECT

 public:
  explicit CClrTreeView(QWidget* parent = nullptr) : CClrTreeCtrl(parent) {}
  CClrTreeCtrl& GetTreeCtrl() { return *this; }
};

#endif
