// The railroad diagram of a compiled pattern as a model without widgets: one box per element
// record, placed so that a match runs along the tracks from the start mark to the end mark.
// Sequences run left to right, alternatives branch top to bottom from one rail to another,
// repeats carry a loop-back under their element and optional ones a bypass over it, groups,
// look-arounds, atomic groups and conditionals are labelled frames around their content,
// anchors and boundaries are small marks on the track. A character class shows every member it
// holds: a class with classes inside it as a frame with each member (character, range, inner class)
// as a branch, a negated class written with [^ as one "none of" box whose members sit in rows inside
// it, off the track, since any one character outside all of them passes.
//
// The model reads the element records of one compile and keeps pointers into them: rebuild it
// after every recompile, before the records go. Text widths come from a measure function (the
// view hands in its font's; the default is a fixed width per character, which is what the tests
// and the SVG goldens use), so the model itself needs no font.
//
// Big patterns stay bounded: nesting deeper than a limit, branch and sequence lists longer than a
// limit, and everything past a total box budget are drawn as summary boxes that stand for the
// elements under them; Expand on a summary box opens one more level or page of them at the next
// Build. Memory and time are linear in the boxes drawn, not in the pattern.
//
// Drawing goes through IDiagramCanvas so that the view (QPainter), the PNG export and the SVG
// writer (diagram_svg.h) draw the very same figures. Covered by tests/diagram_layout_test.cpp.
#ifndef KORVANE_DIAGRAM_LAYOUT_H
#define KORVANE_DIAGRAM_LAYOUT_H

#include <QPointF>
#include <QRectF>
#include <QString>
#include <functional>
#include <map>
#include <tuple>
#include <vector>

#include "app/document/pattern/element_records.h"

enum DiagramShape {
  DIAGRAM_TERMINAL = 1,  // text, a class, a back-reference, a recursion: a box on the track
  DIAGRAM_MARK = 2,      // an anchor, a boundary, a mode modifier: a small rounded mark
  DIAGRAM_SKIP = 3,      // the empty element: a bare piece of track
  DIAGRAM_SEQUENCE = 4,  // children left to right
  DIAGRAM_CHOICE = 5,    // children as branches, top to bottom, between two rails
  DIAGRAM_LOOP = 6,      // one child with a loop-back below and/or a bypass above
  DIAGRAM_FRAME = 7,     // a labelled frame around its content
  DIAGRAM_SUMMARY = 8,   // stands for elements that are not drawn; expandable
  DIAGRAM_MEMBER = 9     // a character or range of a class: no element of its own (the class's)
};

enum DiagramFrameKind {
  FRAME_NONE = 0,
  FRAME_CAPTURE = 1,
  FRAME_NONCAPTURE = 2,
  FRAME_LOOKAHEAD = 3,
  FRAME_LOOKBEHIND = 4,
  FRAME_ATOMIC = 5,
  FRAME_CONDITIONAL = 6,
  FRAME_CLASS = 7  // a character class drawn member by member (DIAGRAM_NEGATIVE: "none of")
};

enum DiagramFlag {
  DIAGRAM_RTL = 1,        // a sequence matched last to first
  DIAGRAM_NEGATIVE = 2,   // a negative look-around; a negated class
  DIAGRAM_BYPASS = 4,     // a loop whose element may be skipped
  DIAGRAM_LOOP_BACK = 8,  // a loop whose element may run again
  DIAGRAM_OFF_TRACK = 16  // drawn inside a frame but not on its track (a conditional's condition,
                          // the members of a negated class)
};

enum DiagramGreed { GREED_GREEDY = 0, GREED_LAZY = 1, GREED_POSSESSIVE = 2, GREED_FIXED = 3 };

struct DiagramBox {
  const ElementRecord* record = nullptr;  // the element's record; a summary of siblings: the first one;
                                          // a class member: its class's
  const HostElement* element = nullptr;   // null only for a summary of siblings and a class member
  int type = 0;                           // the record's type
  int shape = 0;                          // DiagramShape
  int frame = FRAME_NONE;
  int flags = 0;                          // DiagramFlag
  int parent = -1;                        // box index, -1 for the root box
  std::vector<int> children;              // box indexes, in pattern order
  QRectF rect;                            // in diagram coordinates (zoom 1)
  double axis = 0;                        // y of the track through the box
  QString text;                           // terminal, mark and summary text; frame header
  QString note;                           // loop: count and greediness, drawn under the loop
  QRectF noteRect;
  int minCount = 0, maxCount = 0;         // loop: -1 maximum means unbounded
  int greed = GREED_GREEDY;
  int hidden = 0;                         // summary: how many element records it stands for
};

// A straight piece of track. `arrow` puts an arrowhead at its middle pointing towards `b`.
struct DiagramTrack {
  QPointF a, b;
  bool arrow = false;
};

struct DiagramMetrics {
  // Width of a text in the drawing font; null means 7 units per character.
  std::function<double(const QString&)> textWidth;
  double lineHeight = 16;
  double Width(const QString& s) const { return textWidth ? textWidth(s) : 7.0 * s.size(); }
};

struct DiagramLimits {
  int maxDepth = 40;        // nesting levels drawn below the root (or below an expanded summary)
  int maxChildren = 60;     // branches or sequence members drawn before a summary takes the rest
  int pageChildren = 200;   // how many more each expansion of such a summary shows
  int maxBoxes = 12000;     // total budget; every expansion adds pageChildren * 4
  int maxLabelChars = 40;   // longer texts are cut with an ellipsis
};

class CDiagramLayout {
 public:
  // Lays out the records under `root` (null: an empty diagram with only the start and end).
  // `rightToLeft` is the pattern's direction: the start mark then sits on the right.
  void Build(const ElementRecord* root, bool rightToLeft, const DiagramMetrics& metrics,
             const DiagramLimits& limits = DiagramLimits());
  void Clear();

  const std::vector<DiagramBox>& Boxes() const { return m_boxes; }
  const std::vector<DiagramTrack>& Tracks() const { return m_tracks; }
  QRectF Bounds() const { return m_bounds; }
  QPointF StartPoint() const { return m_start; }  // where matching begins
  QPointF EndPoint() const { return m_end; }
  double LineHeight() const { return m_lineHeight; }

  // The box of an element: its own box, or the summary box that stands for it; -1 when it is
  // not in the laid-out records.
  int BoxOf(const HostElement* element) const;
  // The innermost box under a point, or -1.
  int HitTest(const QPointF& p) const;
  // The element a click on a box selects: the box's own, a class member's class; null for a
  // summary of siblings and out of range.
  const HostElement* ElementOf(int box) const;
  // Asks the next Build to open the summary box `box` (one more level or page); false when the
  // box is no summary. Expansions are remembered by the element's place in the pattern, so they
  // survive a recompile that leaves that place alone; Clear forgets them.
  bool Expand(int box);
  void ForgetExpansions() { m_expanded.clear(); }

 private:
  struct Size {
    double w = 0, h = 0, axis = 0;
  };
  typedef std::tuple<int, int, int> Key;  // offset, length, type of a record
  static Key KeyOf(const ElementRecord* r) { return Key(r ? r->offset : -1, r ? r->length : -1, r ? r->type : -1); }

  // Pass one makes the boxes in pre-order, each sized and placed relative to its parent.
  Size Lay(const ElementRecord* r, int parent, int depth);
  Size LayFrame(const ElementRecord* r, int parent, int depth);
  Size LayNoneOf(const ElementRecord* r, int parent, int depth);
  std::vector<int> LayClassMembers(int box, const ElementRecord* r, int depth);
  std::vector<int> LayMembers(int box, const ElementRecord* owner, const std::vector<ElementRecord*>& kids,
                              bool branches, int depth);
  Size Summary(const ElementRecord* owner, const std::vector<ElementRecord*>& list, size_t from, int parent,
               int kind);
  Size StackBranches(const std::vector<int>& kids, double x0, double y0);
  Size TextBox(int box, const QString& text, bool mark);
  Size SetSize(int box, double w, double h, double axis);
  void Move(int box, double x, double y);
  int NewBox(const ElementRecord* r, int shape, int parent);
  QString Cut(const QString& s) const;
  // Pass three: the tracks of one box from the absolute geometry.
  void MakeTracks(int box);
  void BranchTracks(double left, double right, double axis, const std::vector<int>& kids, double bypassY);
  void Line(double x1, double y1, double x2, double y2, bool arrow = false);

  std::vector<DiagramBox> m_boxes;
  std::vector<DiagramTrack> m_tracks;
  std::vector<std::pair<const HostElement*, int>> m_byElement;  // sorted; summaries list what they hide
  std::map<Key, int> m_expanded;    // record key -> expansions asked for
  std::map<int, Key> m_summaryOf;   // summary box -> the key its expansion raises
  std::map<int, double> m_contentShift;  // branchy frames: how far their branch block is centred
  DiagramMetrics m_metrics;
  DiagramLimits m_limits;
  int m_budget = 0;
  QRectF m_bounds;
  QPointF m_start, m_end;
  double m_lineHeight = 16;
};

#endif
