// CExplanationPane: the view of the Explanation bar. It shows the compiled pattern as an indented
// outline, one line per element record with the element's sentence (CExplanation, kept by the
// document beside the records). A click on a line makes its element the document's current
// one, which the pattern box and the structure tree then select; when another view changes the
// current element, its line is shown highlighted.
//
// Lines are made on demand: the top levels at a rebuild, a branch's children when it is first
// expanded, and at most kChunk children of one parent at a time (a "more" line brings the next
// ones), so that a pattern of 100,000 alternatives or 250 nested groups stays responsive.
//
// Covered by app/ui/panes/explanation/tests/explanation_pane_test.cpp.
#ifndef KORVANE_EXPLANATION_PANE_H
#define KORVANE_EXPLANATION_PANE_H

#include <QTreeWidget>
#include <unordered_map>

#include "app/document/core/doc_ui.h"
#include "app/host_engine.h"

class CKorvaneDoc;
struct ElementRecord;

class CExplanationPane : public QTreeWidget, public CDocView {
  Q_OBJECT

 public:
  // Children of one parent made at a time.
  static constexpr int kChunk = 200;
  // Lines made at a rebuild, level by level from the root, before the rest waits for expanding.
  static constexpr int kInitialLines = 400;

  explicit CExplanationPane(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CExplanationPane() override;

  void OnUpdate(CDocView* sender, int hint) override;

  // The line of an element, made (with the lines above it) when `make` is set and it is not
  // there yet; null when the element has no record.
  QTreeWidgetItem* LineOf(const HostElement* element, bool make);
  // The element a line explains; null for a "more" line.
  static const HostElement* LineElement(const QTreeWidgetItem* item);
  // Rebuilds the outline from the document's records (public for the benchmark).
  void Rebuild();
  // Number of lines made so far (for the tests of the lazy outline).
  int MadeLines() const { return static_cast<int>(m_lines.size()); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  const ElementRecord* RecordOf(const QTreeWidgetItem* item) const;
  QTreeWidgetItem* MakeLine(QTreeWidgetItem* parent, const ElementRecord* record, int index);
  // Makes the children of a line from `from` on, at most kChunk, and a "more" line after them.
  void FillChildren(QTreeWidgetItem* item, int from);
  void OnItemExpanded(QTreeWidgetItem* item);
  void OnItemClicked(QTreeWidgetItem* item);
  void OnCurrentChanged(QTreeWidgetItem* current);
  void ShowCurrent();
  void ApplyFont();

  CKorvaneDoc* m_pDoc;  // not owned
  std::unordered_map<const ElementRecord*, QTreeWidgetItem*> m_lines;
  int m_nUpdating = 0;  // while above zero, selection changes are the pane's own
  bool m_bStale = true; // the lines belong to an older compile (rebuilt when shown)
};

#endif
