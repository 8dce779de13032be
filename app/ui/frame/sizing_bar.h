// CSizingControlBarG: a resizable docking bar of the main frame (structure, message, group,
// stack, text clip, snapshot). A QDockWidget whose single child view fills it, with the three
// sizes that are part of a saved layout: docked horizontally (top or bottom), docked vertically
// (left or right) and floating. The docking framework restores placement and visibility; the
// bar's own sizes live in the section "<mode section>-SCBar-<bar id>" under "sizeHorzCX" ...
// "sizeFloatCY", each raised to its minimum when read.
//
// Small windows: a bar asks for little room (kMinViewCX x kMinViewCY for its view), so that the
// window can shrink without bars running over each other. A list or tree view simply shows
// less; a view laid out as a form (rows of controls, a chart) sits in a scroll area and scrolls
// when the bar is smaller than the form.
//
// Covered by app/ui/tests/frame_test.cpp (layout rows).
#ifndef KORVANE_SIZING_BAR_H
#define KORVANE_SIZING_BAR_H

#include <QDockWidget>
#include <QSize>

class CProfile;

class CSizingControlBarG : public QDockWidget {
  Q_OBJECT

 public:
  // Sizes at construction and the minimums of each state.
  static constexpr int kInitialSize = 200;
  static constexpr int kMinHorzCX = 33, kMinHorzCY = 32;
  static constexpr int kMinVertCX = 33, kMinVertCY = 32;
  static constexpr int kMinFloatCX = 37, kMinFloatCY = 32;
  // The least room a bar's view asks for.
  static constexpr int kMinViewCX = 48, kMinViewCY = 36;

  CSizingControlBarG(int barId, const QString& title, QWidget* parent = nullptr);

  int BarId() const { return m_nBarId; }
  // The bar's view (null for the message bar, which holds none); a form view sits in a scroll
  // area, which is then the bar's widget().
  QWidget* View() const { return m_pView; }
  void SetView(QWidget* view);

  QSize HorzSize() const { return m_szHorz; }
  QSize VertSize() const { return m_szVert; }
  QSize FloatSize() const { return m_szFloat; }

  // "<section>-SCBar-<id>".
  static QString SizeSection(const QString& modeSection, int barId);
  // Reads the six sizes (missing values keep the current size; each is raised to its minimum).
  void LoadSizes(const CProfile& profile, const QString& modeSection);
  // Takes the size of the current state from the widget, then writes all six.
  void SaveSizes(CProfile& profile, const QString& modeSection);
  // Records the widget's current size in the slot of its state (docked left/right, top/bottom
  // or floating).
  void CaptureSize();

 private:
  int m_nBarId;
  QWidget* m_pView = nullptr;  // owned by the bar (Qt parent)
  QSize m_szHorz{kInitialSize, kInitialSize};
  QSize m_szVert{kInitialSize, kInitialSize};
  QSize m_szFloat{kInitialSize, kInitialSize};
};

#endif
