// The railroad diagram model: sizes bottom-up while the boxes are made (relative to the parent),
// then absolute places top-down, then the tracks from the final geometry.
#include "app/document/diagram/diagram_layout.h"

#include <algorithm>

#include "korvane_ids.h"
#include "stringtable.h"

namespace {

// Spacing in diagram units (pixels at zoom 1).
constexpr double kGapX = 14;      // track between sequence members
constexpr double kRail = 20;      // room left and right of branches and loops for the rails
constexpr double kGapY = 10;      // between branches
constexpr double kPadX = 8;       // text to terminal border
constexpr double kMarkPad = 5;    // text to mark border
constexpr double kFramePad = 8;   // frame border to content
constexpr double kBypass = 12;    // room above a skippable element for its bypass
constexpr double kLoopDrop = 7;   // from an element's bottom down to its loop-back
constexpr double kSkipW = 16;     // the empty element
constexpr double kMargin = 10;    // around the whole diagram
constexpr double kEndR = 5;       // start and end marks
constexpr double kChipGap = 6;    // between the members of a negated class
constexpr size_t kChipsPerRow = 8;  // members of a negated class per row

QString Num(long long n) { return QString::number(n); }

QString Fmt(int id, const QStringList& args) { return CStringTable::FormatStrings(CStringTable::Str(id), args); }

// The source text of a record, control characters made visible.
QString SourceOf(const ElementRecord* r) {
  if (!r || !r->text) return QString();
  const std::vector<unsigned short>& t = r->text->text;
  const int from = std::max(0, std::min<int>(r->offset, static_cast<int>(t.size())));
  const int to = std::max(from, std::min<int>(r->offset + r->length, static_cast<int>(t.size())));
  QString s;
  s.reserve(to - from);
  for (int i = from; i < to; ++i) {
    const unsigned short c = t[i];
    s += c < 0x20 ? QChar(0x2400 + c) : (c == 0x7F ? QChar(0x2421) : QChar(c));
  }
  return s;
}

// A class member's character as the diagram shows it: itself, control characters and the blank
// as their visible signs, what cannot be shown (a no-break space, a format character) as its code.
QString MemberChar(unsigned c) {
  if (c < 0x20) return QString(QChar(static_cast<char16_t>(0x2400 + c)));
  if (c == 0x7F) return QString(QChar(0x2421));
  if (c == ' ') return QString(QChar(0x2423));
  const QChar ch(static_cast<char16_t>(c));
  if (c > 0xFFFF || !ch.isPrint() || ch.isSpace() || ch.isSurrogate())
    return QStringLiteral("U+") + QStringLiteral("%1").arg(c, 4, 16, QLatin1Char('0')).toUpper();
  return QString(ch);
}

QString NameOf(const ElementRecord* r) {
  QString s;
  for (unsigned short c : r->name) {
    if (c == 0) break;
    s += QChar(c);
  }
  return s;
}

template <class F>
void ForEachRecord(const std::vector<const ElementRecord*>& roots, F f) {
  std::vector<const ElementRecord*> stack(roots.rbegin(), roots.rend());
  while (!stack.empty()) {
    const ElementRecord* r = stack.back();
    stack.pop_back();
    f(r);
    for (auto it = r->children.rbegin(); it != r->children.rend(); ++it) stack.push_back(*it);
  }
}

}  // namespace

void CDiagramLayout::Clear() {
  m_boxes.clear();
  m_tracks.clear();
  m_byElement.clear();
  m_summaryOf.clear();
  m_expanded.clear();
  m_bounds = QRectF();
  m_start = m_end = QPointF();
}

QString CDiagramLayout::Cut(const QString& s) const {
  const int limit = std::max(4, m_limits.maxLabelChars);
  if (s.size() <= limit) return s;
  return s.left(limit - 1) + QChar(0x2026);
}

int CDiagramLayout::NewBox(const ElementRecord* r, int shape, int parent) {
  DiagramBox b;
  b.record = r;
  b.element = r ? r->element : nullptr;
  b.type = r ? r->type : 0;
  b.shape = shape;
  b.parent = parent;
  m_boxes.push_back(std::move(b));
  const int index = static_cast<int>(m_boxes.size()) - 1;
  if (parent >= 0) m_boxes[parent].children.push_back(index);
  if (shape != DIAGRAM_SUMMARY && m_boxes[index].element) m_byElement.emplace_back(m_boxes[index].element, index);
  return index;
}

CDiagramLayout::Size CDiagramLayout::SetSize(int box, double w, double h, double axis) {
  DiagramBox& b = m_boxes[box];
  b.rect.setSize(QSizeF(w, h));
  b.axis = axis;
  return Size{w, h, axis};
}

void CDiagramLayout::Move(int box, double x, double y) { m_boxes[box].rect.moveTopLeft(QPointF(x, y)); }

CDiagramLayout::Size CDiagramLayout::TextBox(int box, const QString& text, bool mark) {
  m_boxes[box].text = text;
  const double tw = m_metrics.Width(text);
  const double lh = m_metrics.lineHeight;
  if (mark) return SetSize(box, std::max(tw + 2 * kMarkPad, 16.0), lh + 2, (lh + 2) / 2);
  return SetSize(box, std::max(tw + 2 * kPadX, 24.0), lh + 8, (lh + 8) / 2);
}

// A summary box for `first` alone (kind 0: nesting cut off; what it hides is that record's
// subtree) or for list[from..] (kind 1: more branches, 2: more members; the key is the parent's).
CDiagramLayout::Size CDiagramLayout::Summary(const ElementRecord* owner, const std::vector<ElementRecord*>& list,
                                             size_t from, int parent, int kind) {
  const int box = NewBox(kind == 0 ? list[from] : nullptr, DIAGRAM_SUMMARY, parent);
  DiagramBox& b = m_boxes[box];
  if (kind != 0) {
    b.record = list[from];
    b.type = list[from]->type;
  }
  const std::vector<const ElementRecord*> hidden(list.begin() + static_cast<long>(from),
                                                 kind == 0 ? list.begin() + static_cast<long>(from) + 1 : list.end());
  int count = 0;
  ForEachRecord(hidden, [&](const ElementRecord* r) {
    ++count;
    if (r->element) m_byElement.emplace_back(r->element, box);
  });
  b.hidden = count;
  m_summaryOf[box] = kind == 0 ? KeyOf(list[from]) : KeyOf(owner);
  const int id = kind == 0 ? IDS_DIAGRAM_NESTED : (kind == 1 ? IDS_DIAGRAM_MORE_BRANCHES : IDS_DIAGRAM_MORE_ELEMENTS);
  return TextBox(box, Fmt(id, {Num(kind == 0 ? count : static_cast<long long>(list.size() - from))}), false);
}

// Lays out the members of `owner` as children of `box`, in pattern order, and returns their box
// indexes; past the shown limit or the budget one summary takes the rest.
std::vector<int> CDiagramLayout::LayMembers(int box, const ElementRecord* owner,
                                            const std::vector<ElementRecord*>& kids, bool branches, int depth) {
  std::vector<int> out;
  auto it = m_expanded.find(KeyOf(owner));
  const size_t shown = static_cast<size_t>(m_limits.maxChildren) +
                       static_cast<size_t>(it == m_expanded.end() ? 0 : it->second) * m_limits.pageChildren;
  for (size_t i = 0; i < kids.size(); ++i) {
    if (i >= shown || static_cast<int>(m_boxes.size()) >= m_budget) {
      out.push_back(static_cast<int>(m_boxes.size()));
      Summary(owner, kids, i, box, branches ? 1 : 2);
      break;
    }
    out.push_back(static_cast<int>(m_boxes.size()));
    Lay(kids[i], box, depth + 1);
  }
  return out;
}

// Stacks branch boxes top to bottom at x0 + kRail from y0; returns the block's size, whose axis
// is that of the first branch.
CDiagramLayout::Size CDiagramLayout::StackBranches(const std::vector<int>& kids, double x0, double y0) {
  double maxW = 0;
  for (int k : kids) maxW = std::max(maxW, m_boxes[k].rect.width());
  double y = y0;
  for (int k : kids) {
    Move(k, x0 + kRail, y);
    y += m_boxes[k].rect.height() + kGapY;
  }
  Size s;
  s.w = maxW + 2 * kRail;
  s.h = kids.empty() ? 4 : y - kGapY - y0;
  s.axis = kids.empty() ? 2 : m_boxes[kids.front()].axis;
  return s;
}

CDiagramLayout::Size CDiagramLayout::Lay(const ElementRecord* r, int parent, int depth) {
  auto ex = m_expanded.find(KeyOf(r));
  if (ex != m_expanded.end()) depth = 0;  // an opened summary starts a fresh nesting budget
  const int type = r->type;
  const HostElement* e = r->element;
  const std::vector<ElementRecord*>& kids = r->children;
  if (depth > m_limits.maxDepth && !kids.empty()) {
    std::vector<ElementRecord*> one(1, const_cast<ElementRecord*>(r));
    return Summary(r, one, 0, parent, 0);
  }
  const double lh = m_metrics.lineHeight;
  switch (type) {
    case ELEMENT_LIST: {
      const int box = NewBox(r, DIAGRAM_SEQUENCE, parent);
      if (e && static_cast<const CListElement<unsigned short>*>(e)->m_bRightLeft) m_boxes[box].flags |= DIAGRAM_RTL;
      const std::vector<int> members = LayMembers(box, r, kids, false, depth);
      if (members.empty()) return SetSize(box, kSkipW, 4, 2);
      double axis = 0, below = 0;
      for (int k : members) {
        axis = std::max(axis, m_boxes[k].axis);
        below = std::max(below, m_boxes[k].rect.height() - m_boxes[k].axis);
      }
      double x = 0;
      for (int k : members) {
        Move(k, x, axis - m_boxes[k].axis);
        x += m_boxes[k].rect.width() + kGapX;
      }
      return SetSize(box, x - kGapX, axis + below, axis);
    }
    case ELEMENT_ALTERNATIVE: {
      const int box = NewBox(r, DIAGRAM_CHOICE, parent);
      const std::vector<int> branches = LayMembers(box, r, kids, true, depth);
      const Size s = StackBranches(branches, 0, 0);
      return SetSize(box, s.w, s.h, s.axis);
    }
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE:
    case ELEMENT_RELUCTANT:
    case ELEMENT_FIXED: {
      const int box = NewBox(r, DIAGRAM_LOOP, parent);
      int mn = 1, mx = 1, greed = GREED_FIXED;
      if (type == ELEMENT_FIXED) {
        mn = mx = static_cast<const CFixedRepeatElement<unsigned short>*>(e)->m_nCount;
      } else if (type == ELEMENT_RELUCTANT) {
        const auto* q = static_cast<const CReluctantElement<unsigned short>*>(e);
        mn = q->m_nMin;
        mx = q->m_nExtra >= TARNO_INFINITE - q->m_nMin ? -1 : q->m_nMin + q->m_nExtra;
        greed = GREED_LAZY;
      } else {
        const auto* q = static_cast<const CGreedyElement<unsigned short>*>(e);
        mn = q->m_nMin;
        mx = q->m_nExtra >= TARNO_INFINITE - q->m_nMin ? -1 : q->m_nMin + q->m_nExtra;
        greed = type == ELEMENT_POSSESSIVE ? GREED_POSSESSIVE : GREED_GREEDY;
      }
      QString count;
      if (mn == 0 && mx == 1)
        count = CStringTable::Str(IDS_DIAGRAM_OPTIONAL);
      else if (mx == -1)
        count = Fmt(IDS_DIAGRAM_TIMES_MORE, {Num(mn)});
      else if (mn == mx)
        count = Fmt(IDS_DIAGRAM_TIMES_EXACT, {Num(mn)});
      else
        count = Fmt(IDS_DIAGRAM_TIMES_RANGE, {Num(mn), Num(mx)});
      static const int greedIds[] = {IDS_DIAGRAM_GREEDY, IDS_DIAGRAM_LAZY, IDS_DIAGRAM_POSSESSIVE};
      {
        DiagramBox& b = m_boxes[box];
        b.minCount = mn;
        b.maxCount = mx;
        b.greed = greed;
        b.note = greed == GREED_FIXED ? count : Fmt(IDS_DIAGRAM_NOTE, {count, CStringTable::Str(greedIds[greed])});
        if (mn == 0) b.flags |= DIAGRAM_BYPASS;
        if (mx == -1 || mx > 1) b.flags |= DIAGRAM_LOOP_BACK;
      }
      const bool bypass = mn == 0;
      const bool loopBack = mx == -1 || mx > 1;
      double cw = kSkipW, ch = 4, ca = 2;
      int child = -1;
      if (!kids.empty()) {
        child = static_cast<int>(m_boxes.size());
        const Size c = Lay(kids.front(), box, depth + 1);
        cw = c.w, ch = c.h, ca = c.axis;
      }
      const double nw = m_metrics.Width(m_boxes[box].note);
      const double inner = std::max(cw, nw);
      const double top = bypass ? kBypass : 0;
      if (child >= 0) Move(child, kRail + (inner - cw) / 2, top);
      const double noteTop = top + ch + (loopBack ? kLoopDrop + 3 : 3);
      m_boxes[box].noteRect = QRectF(kRail + (inner - nw) / 2, noteTop, nw, lh);
      return SetSize(box, inner + 2 * kRail, noteTop + lh, top + ca);
    }
    case ELEMENT_CAPTURE_GROUP:
    case ELEMENT_NONCAPTURE_GROUP:
    case ELEMENT_ASSERTION:
    case ELEMENT_INDEPENDENT:
    case ELEMENT_CONDITIONAL:
      return LayFrame(r, parent, depth);
    case ELEMENT_CHARSET: {
      // A class written [^...] is one "none of" box; a class with classes inside it shows each
      // member as a branch; the others (and the shorthands \d, \W, .) stay one terminal with
      // their source, which lists every member already.
      const auto* cs = static_cast<const CCharsetElement<unsigned short>*>(e);
      const bool members = !kids.empty() || !cs->m_ranges.IsEmpty() || !cs->m_chars.IsEmpty();
      const std::vector<unsigned short>* text = r->text ? &r->text->text : nullptr;
      const bool bracket = text && r->offset >= 0 && r->offset < static_cast<int>(text->size()) &&
                           (*text)[r->offset] == '[';
      if (!cs->m_bYes && bracket && members) return LayNoneOf(r, parent, depth);
      if (!kids.empty()) return LayFrame(r, parent, depth);
      break;
    }
    case ELEMENT_EMPTY: {
      const int box = NewBox(r, DIAGRAM_SKIP, parent);
      return SetSize(box, kSkipW, 4, 2);
    }
    case ELEMENT_BOUNDARY:
    case ELEMENT_LASTMATCH:
    case ELEMENT_BRACKET:
    case ELEMENT_MODE_MODIFIER: {
      const int box = NewBox(r, DIAGRAM_MARK, parent);
      return TextBox(box, Cut(SourceOf(r)), true);
    }
    case ELEMENT_DELEGATE: {
      const int box = NewBox(r, DIAGRAM_TERMINAL, parent);
      return TextBox(box, Fmt(IDS_DIAGRAM_RECURSION, {Cut(SourceOf(r))}), false);
    }
    default:
      break;
  }
  // A kind this switch does not know that has children: a plain frame with them as branches,
  // so that every record still gets its box.
  if (!kids.empty()) return LayFrame(r, parent, depth);
  // Text, classes, POSIX classes, back-references and anything else: a terminal with its source,
  // a blank shown as an open box (a literal space was an empty-looking box).
  const int box = NewBox(r, DIAGRAM_TERMINAL, parent);
  return TextBox(box, Cut(SourceOf(r)).replace(QLatin1Char(' '), QChar(0x2423)), false);
}

CDiagramLayout::Size CDiagramLayout::LayFrame(const ElementRecord* r, int parent, int depth) {
  const int box = NewBox(r, DIAGRAM_FRAME, parent);
  const HostElement* e = r->element;
  const std::vector<ElementRecord*>& kids = r->children;
  QString header;
  int frame = FRAME_NONE;
  const ElementRecord* condition = nullptr;
  std::vector<ElementRecord*> branches;  // a class's members, a conditional's yes and no
  bool missingNo = false;
  switch (r->type) {
    case ELEMENT_CAPTURE_GROUP: {
      frame = FRAME_CAPTURE;
      const auto* list = static_cast<const CListElement<unsigned short>*>(e);
      const auto* open = static_cast<const CBracketElement<unsigned short>*>(list->m_elements[0]);
      const QString name = NameOf(r);
      header = name.isEmpty() ? Fmt(IDS_DIAGRAM_GROUP, {Num(open->m_nGroup)})
                              : Fmt(IDS_DIAGRAM_NAMED_GROUP, {Num(open->m_nGroup), Cut(name)});
      if (open->m_nBalance >= 0) header = Fmt(IDS_DIAGRAM_BALANCING, {header, Num(open->m_nBalance)});
      break;
    }
    case ELEMENT_NONCAPTURE_GROUP:
      frame = FRAME_NONCAPTURE;
      break;
    case ELEMENT_ASSERTION: {
      const auto* a = static_cast<const CAssertionElement<unsigned short>*>(e);
      const QString src = SourceOf(r);
      const bool behind = src.startsWith(QLatin1String("(?<=")) || src.startsWith(QLatin1String("(?<!"));
      frame = behind ? FRAME_LOOKBEHIND : FRAME_LOOKAHEAD;
      if (!a->m_bPositive) m_boxes[box].flags |= DIAGRAM_NEGATIVE;
      header = CStringTable::Str(behind ? (a->m_bPositive ? IDS_DIAGRAM_PRECEDED : IDS_DIAGRAM_NOT_PRECEDED)
                                        : (a->m_bPositive ? IDS_DIAGRAM_FOLLOWED : IDS_DIAGRAM_NOT_FOLLOWED));
      break;
    }
    case ELEMENT_INDEPENDENT:
      frame = FRAME_ATOMIC;
      header = CStringTable::Str(IDS_DIAGRAM_ATOMIC);
      break;
    case ELEMENT_CONDITIONAL: {
      frame = FRAME_CONDITIONAL;
      const auto* c = static_cast<const CConditionalElement<unsigned short>*>(e);
      header = c->m_nGroup >= 0 ? Fmt(IDS_DIAGRAM_IF_GROUP, {Num(c->m_nGroup)}) : CStringTable::Str(IDS_DIAGRAM_IF);
      for (ElementRecord* k : kids) {
        if (k->element && k->element == c->m_pCondition)
          condition = k;
        else
          branches.push_back(k);
      }
      missingNo = !c->m_pNo;
      break;
    }
    case ELEMENT_CHARSET:
      frame = FRAME_CLASS;
      header = Cut(SourceOf(r));
      branches = kids;
      break;
    default:
      header = Cut(SourceOf(r));
      branches = kids;
      break;
  }
  m_boxes[box].frame = frame;
  m_boxes[box].text = header;
  const double lh = m_metrics.lineHeight;
  const double headerH = header.isEmpty() ? kFramePad / 2 : lh + 4;
  const double headerW = header.isEmpty() ? 0 : m_metrics.Width(header) + 2 * kFramePad;
  const bool branchy = frame == FRAME_CLASS || frame == FRAME_CONDITIONAL || frame == FRAME_NONE;
  if (!branchy) {
    if (kids.empty()) {
      const double w = std::max(kSkipW + 2 * kFramePad, headerW);
      return SetSize(box, w, headerH + 4 + kFramePad, headerH + 2);
    }
    const Size c = Lay(kids.front(), box, depth + 1);
    const double w = std::max(c.w + 2 * kFramePad, headerW);
    Move(m_boxes[box].children.front(), (w - c.w) / 2, headerH);
    return SetSize(box, w, headerH + c.h + kFramePad, headerH + c.axis);
  }
  double y = headerH;
  double condW = 0;
  if (condition) {
    const int cb = static_cast<int>(m_boxes.size());
    const Size c = Lay(condition, box, depth + 1);
    m_boxes[cb].flags |= DIAGRAM_OFF_TRACK;
    Move(cb, kFramePad, y);
    condW = c.w;
    y += c.h + kGapY;
  }
  std::vector<int> laid;
  if (frame == FRAME_CLASS) {
    laid = LayClassMembers(box, r, depth);
  } else if (frame != FRAME_CONDITIONAL) {
    laid = LayMembers(box, r, branches, true, depth);
  } else {
    for (ElementRecord* k : branches) {
      laid.push_back(static_cast<int>(m_boxes.size()));
      Lay(k, box, depth + 1);
    }
  }
  Size s = StackBranches(laid, kFramePad, y);
  double h = y + s.h;
  if (missingNo) h += kGapY + 2;  // room for the bypass that stands for the missing branch
  const double w = std::max({s.w + 2 * kFramePad, headerW, condW + 2 * kFramePad});
  // Branches hang from the content's left rail; centre the block when the frame is wider.
  const double shift = (w - 2 * kFramePad - s.w) / 2;
  for (int k : laid) Move(k, m_boxes[k].rect.x() + shift, m_boxes[k].rect.y());
  m_contentShift[box] = shift;
  return SetSize(box, w, h + kFramePad, y + s.axis);
}

// The members of a class as children of `box`: its ranges and single characters as member boxes,
// then the classes inside it, in the order the compiler holds them (it keeps ranges and single
// characters apart, so their order among each other as written is not known). Past the shown
// limit or the budget one summary takes the rest.
std::vector<int> CDiagramLayout::LayClassMembers(int box, const ElementRecord* r, int depth) {
  const auto* cs = static_cast<const CCharsetElement<unsigned short>*>(r->element);
  std::vector<QString> own;
  for (int i = 0; i + 1 < cs->m_ranges.GetSize(); i += 2)
    own.push_back(MemberChar(cs->m_ranges[i]) + QChar(0x2013) + MemberChar(cs->m_ranges[i + 1]));
  for (int i = 0; i < cs->m_chars.GetSize(); ++i) own.push_back(MemberChar(cs->m_chars[i]));
  const std::vector<ElementRecord*>& kids = r->children;
  const size_t total = own.size() + kids.size();
  auto it = m_expanded.find(KeyOf(r));
  const size_t shown = static_cast<size_t>(m_limits.maxChildren) +
                       static_cast<size_t>(it == m_expanded.end() ? 0 : it->second) * m_limits.pageChildren;
  std::vector<int> out;
  for (size_t i = 0; i < total; ++i) {
    out.push_back(static_cast<int>(m_boxes.size()));
    if (i >= shown || static_cast<int>(m_boxes.size()) >= m_budget) {
      const int s = NewBox(nullptr, DIAGRAM_SUMMARY, box);
      m_boxes[s].record = r;
      m_boxes[s].type = r->type;
      const size_t firstKid = i > own.size() ? i - own.size() : 0;
      const std::vector<const ElementRecord*> rest(kids.begin() + static_cast<long>(firstKid), kids.end());
      int count = 0;
      ForEachRecord(rest, [&](const ElementRecord* x) {
        ++count;
        if (x->element) m_byElement.emplace_back(x->element, s);
      });
      m_boxes[s].hidden = count;
      m_summaryOf[s] = KeyOf(r);
      TextBox(s, Fmt(IDS_DIAGRAM_MORE_MEMBERS, {Num(static_cast<long long>(total - i))}), false);
      break;
    }
    if (i < own.size()) {
      const int m = NewBox(nullptr, DIAGRAM_MEMBER, box);
      m_boxes[m].record = r;
      m_boxes[m].type = r->type;
      TextBox(m, Cut(own[i]), false);
    } else {
      Lay(kids[i - own.size()], box, depth + 1);
    }
  }
  return out;
}

// A negated class: one frame that says "none of", its members in rows inside it, off the track.
CDiagramLayout::Size CDiagramLayout::LayNoneOf(const ElementRecord* r, int parent, int depth) {
  const int box = NewBox(r, DIAGRAM_FRAME, parent);
  m_boxes[box].frame = FRAME_CLASS;
  m_boxes[box].flags |= DIAGRAM_NEGATIVE;
  m_boxes[box].text = CStringTable::Str(IDS_DIAGRAM_NONE_OF);
  const double headerH = m_metrics.lineHeight + 4;
  const double headerW = m_metrics.Width(m_boxes[box].text) + 2 * kFramePad;
  const std::vector<int> members = LayClassMembers(box, r, depth);
  double y = headerH, widest = 0, firstAxis = headerH + 2;
  for (size_t from = 0; from < members.size(); from += kChipsPerRow) {
    const size_t to = std::min(members.size(), from + kChipsPerRow);
    double axis = 0, below = 0;
    for (size_t i = from; i < to; ++i) {
      const DiagramBox& m = m_boxes[members[i]];
      axis = std::max(axis, m.axis);
      below = std::max(below, m.rect.height() - m.axis);
    }
    double x = kFramePad;
    for (size_t i = from; i < to; ++i) {
      DiagramBox& m = m_boxes[members[i]];
      m.flags |= DIAGRAM_OFF_TRACK;
      Move(members[i], x, y + axis - m.axis);
      x += m.rect.width() + kChipGap;
    }
    widest = std::max(widest, x - kChipGap - kFramePad);
    if (from == 0) firstAxis = y + axis;
    y += axis + below + kChipGap;
  }
  if (!members.empty()) y -= kChipGap;
  return SetSize(box, std::max(widest + 2 * kFramePad, headerW), y + kFramePad, firstAxis);
}

void CDiagramLayout::Build(const ElementRecord* root, bool rightToLeft, const DiagramMetrics& metrics,
                           const DiagramLimits& limits) {
  std::map<Key, int> expanded;
  expanded.swap(m_expanded);
  Clear();
  m_expanded.swap(expanded);
  m_metrics = metrics;
  m_limits = limits;
  m_lineHeight = metrics.lineHeight;
  int expansions = 0;
  for (const auto& p : m_expanded) expansions += p.second;
  m_budget = std::max(16, limits.maxBoxes) + expansions * std::max(1, limits.pageChildren) * 4;
  m_contentShift.clear();
  double rootW = 0, rootH = 4, rootAxis = 2;
  if (root) {
    const Size s = Lay(root, -1, 0);
    rootW = s.w, rootH = s.h, rootAxis = s.axis;
  }
  // Absolute places: a parent comes before its children (boxes are made in pre-order).
  const double x0 = kMargin + 2 * kEndR + kGapX;
  for (size_t i = 0; i < m_boxes.size(); ++i) {
    DiagramBox& b = m_boxes[i];
    const QPointF origin = b.parent >= 0 ? m_boxes[b.parent].rect.topLeft() : QPointF(x0, kMargin);
    b.rect.translate(origin);
    b.axis += b.rect.y();
    if (!b.note.isEmpty()) b.noteRect.translate(b.rect.topLeft());
  }
  const double axis = kMargin + rootAxis;
  const QPointF left(kMargin + kEndR, axis), right(x0 + rootW + kGapX + kEndR, axis);
  m_start = rightToLeft ? right : left;
  m_end = rightToLeft ? left : right;
  m_bounds = QRectF(0, 0, right.x() + kEndR + kMargin, rootH + 2 * kMargin);
  if (root) {
    // The arrows next to the start and end marks show which way matching runs.
    if (rightToLeft) {
      Line(x0, axis, left.x() + kEndR, axis, true);
      Line(right.x() - kEndR, axis, x0 + rootW, axis, true);
    } else {
      Line(left.x() + kEndR, axis, x0, axis, true);
      Line(x0 + rootW, axis, right.x() - kEndR, axis, true);
    }
    for (size_t i = 0; i < m_boxes.size(); ++i) MakeTracks(static_cast<int>(i));
  } else {
    Line(left.x() + kEndR, axis, right.x() - kEndR, axis, false);
  }
  std::sort(m_byElement.begin(), m_byElement.end());
}

void CDiagramLayout::Line(double x1, double y1, double x2, double y2, bool arrow) {
  if (x1 == x2 && y1 == y2) return;
  m_tracks.push_back(DiagramTrack{QPointF(x1, y1), QPointF(x2, y2), arrow});
}

void CDiagramLayout::BranchTracks(double left, double right, double axis, const std::vector<int>& kids,
                                  double bypassY) {
  const double lx = left + kRail / 2, rx = right - kRail / 2;
  Line(left, axis, lx, axis);
  Line(rx, axis, right, axis);
  double lowest = axis;
  for (int k : kids) {
    const DiagramBox& c = m_boxes[k];
    lowest = std::max(lowest, c.axis);
    Line(lx, c.axis, c.rect.left(), c.axis);
    Line(c.rect.right(), c.axis, rx, c.axis);
  }
  if (bypassY > axis) {
    Line(lx, bypassY, rx, bypassY, true);
    lowest = bypassY;
  }
  // One vertical per rail, from the main line down to the lowest branch.
  Line(lx, axis, lx, lowest);
  Line(rx, lowest, rx, axis);
}

void CDiagramLayout::MakeTracks(int index) {
  const DiagramBox& b = m_boxes[index];
  const QRectF& r = b.rect;
  const double a = b.axis;
  switch (b.shape) {
    case DIAGRAM_SEQUENCE: {
      const bool rtl = (b.flags & DIAGRAM_RTL) != 0;
      for (size_t i = 0; i + 1 < b.children.size(); ++i) {
        const QRectF& p = m_boxes[b.children[i]].rect;
        const QRectF& n = m_boxes[b.children[i + 1]].rect;
        if (rtl)
          Line(n.left(), a, p.right(), a, true);
        else
          Line(p.right(), a, n.left(), a);
      }
      if (b.children.empty()) Line(r.left(), a, r.right(), a);
      break;
    }
    case DIAGRAM_SKIP:
      Line(r.left(), a, r.right(), a);
      break;
    case DIAGRAM_CHOICE:
      BranchTracks(r.left(), r.right(), a, b.children, 0);
      break;
    case DIAGRAM_LOOP: {
      const double lx = r.left() + kRail / 2, rx = r.right() - kRail / 2;
      if (b.children.empty()) {
        Line(r.left(), a, r.right(), a);
      } else {
        const QRectF& c = m_boxes[b.children.front()].rect;
        Line(r.left(), a, c.left(), a);
        Line(c.right(), a, r.right(), a);
        if (b.flags & DIAGRAM_LOOP_BACK) {
          const double ly = c.bottom() + kLoopDrop;
          Line(rx, a, rx, ly);
          Line(rx, ly, lx, ly, true);
          Line(lx, ly, lx, a);
        }
      }
      if (b.flags & DIAGRAM_BYPASS) {
        const double by = r.top() + kBypass / 2;
        Line(lx, a, lx, by);
        Line(lx, by, rx, by, true);
        Line(rx, by, rx, a);
      }
      break;
    }
    case DIAGRAM_FRAME: {
      // A negated class is one box: the track ends at its sides, nothing runs through it.
      if (b.frame == FRAME_CLASS && (b.flags & DIAGRAM_NEGATIVE)) break;
      std::vector<int> onTrack;
      for (int k : b.children)
        if (!(m_boxes[k].flags & DIAGRAM_OFF_TRACK)) onTrack.push_back(k);
      if (b.frame == FRAME_CLASS || b.frame == FRAME_CONDITIONAL || b.frame == FRAME_NONE) {
        const auto it = m_contentShift.find(index);
        const double shift = it == m_contentShift.end() ? 0 : it->second;
        const double left = r.left() + kFramePad + shift;
        double right = left + 2 * kRail;
        double bottom = 0;
        for (int k : onTrack) {
          right = std::max(right, m_boxes[k].rect.right() + kRail);
          bottom = std::max(bottom, m_boxes[k].rect.bottom());
        }
        Line(r.left(), a, left, a);
        Line(right, a, r.right(), a);
        const auto* c = b.frame == FRAME_CONDITIONAL ? static_cast<const CConditionalElement<unsigned short>*>(b.element) : nullptr;
        const double bypassY = (c && !c->m_pNo) ? std::max(bottom, a) + kGapY / 2 + 1 : 0;
        if (onTrack.empty() && bypassY == 0)
          Line(left, a, right, a);
        else
          BranchTracks(left, right, a, onTrack, bypassY);
      } else if (onTrack.empty()) {
        Line(r.left(), a, r.right(), a);
      } else {
        const QRectF& c = m_boxes[onTrack.front()].rect;
        Line(r.left(), a, c.left(), a);
        Line(c.right(), a, r.right(), a);
      }
      break;
    }
    default:
      break;
  }
}

int CDiagramLayout::BoxOf(const HostElement* element) const {
  if (!element) return -1;
  auto it = std::lower_bound(m_byElement.begin(), m_byElement.end(), std::make_pair(element, -1));
  return (it != m_byElement.end() && it->first == element) ? it->second : -1;
}

int CDiagramLayout::HitTest(const QPointF& p) const {
  // Boxes are in pre-order and siblings never overlap, so the last box that holds the point is
  // the innermost one.
  int hit = -1;
  for (size_t i = 0; i < m_boxes.size(); ++i) {
    const QRectF& r = m_boxes[i].rect;
    if (p.x() >= r.left() && p.x() < r.right() && p.y() >= r.top() && p.y() < r.bottom()) hit = static_cast<int>(i);
  }
  return hit;
}

const HostElement* CDiagramLayout::ElementOf(int box) const {
  if (box < 0 || box >= static_cast<int>(m_boxes.size())) return nullptr;
  const DiagramBox& b = m_boxes[box];
  if (b.shape == DIAGRAM_MEMBER && b.parent >= 0) return m_boxes[b.parent].element;
  return b.element;
}

bool CDiagramLayout::Expand(int box) {
  auto it = m_summaryOf.find(box);
  if (it == m_summaryOf.end()) return false;
  ++m_expanded[it->second];
  return true;
}
