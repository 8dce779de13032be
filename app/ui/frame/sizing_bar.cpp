// Covered by app/ui/tests/frame_test.cpp.
#include "app/ui/frame/sizing_bar.h"

#include <QAbstractScrollArea>
#include <QMainWindow>
#include <QScrollArea>
#include <algorithm>

#include "platform/profile.h"

CSizingControlBarG::CSizingControlBarG(int barId, const QString& title, QWidget* parent)
    : QDockWidget(title, parent), m_nBarId(barId) {
  setObjectName(QStringLiteral("SCBar-%1").arg(barId));
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
              QDockWidget::DockWidgetFloatable);
  setAllowedAreas(Qt::AllDockWidgetAreas);
  // An empty bar (the message bar) still needs a body to size.
  setWidget(new QWidget(this));
}

void CSizingControlBarG::SetView(QWidget* view) {
  m_pView = view;
  QWidget* old = widget();
  QWidget* body = view;
  if (view && !qobject_cast<QAbstractScrollArea*>(view)) {
    // A form's rows would run over each other below its minimum height, and its minimum would
    // hold the whole window's size up: it scrolls instead.
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("bar-scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(view);
    body = scroll;
  }
  // A list shows fewer rows in a small window; only a minimum the view sets itself stands.
  if (body)
    body->setMinimumSize(std::max(kMinViewCX, view->minimumWidth()), std::max(kMinViewCY, view->minimumHeight()));
  setWidget(body);
  if (old && old != body && old != view) old->deleteLater();
}

QString CSizingControlBarG::SizeSection(const QString& modeSection, int barId) {
  return QStringLiteral("%1-SCBar-%2").arg(modeSection).arg(barId);
}

void CSizingControlBarG::LoadSizes(const CProfile& profile, const QString& modeSection) {
  const QString s = SizeSection(modeSection, m_nBarId);
  auto read = [&](const char* key, int current, int minimum) {
    return std::max(profile.GetInt(s, QLatin1String(key), current), minimum);
  };
  m_szHorz = QSize(read("sizeHorzCX", m_szHorz.width(), kMinHorzCX), read("sizeHorzCY", m_szHorz.height(), kMinHorzCY));
  m_szVert = QSize(read("sizeVertCX", m_szVert.width(), kMinVertCX), read("sizeVertCY", m_szVert.height(), kMinVertCY));
  m_szFloat = QSize(read("sizeFloatCX", m_szFloat.width(), kMinFloatCX),
                    read("sizeFloatCY", m_szFloat.height(), kMinFloatCY));
}

void CSizingControlBarG::CaptureSize() {
  if (!isVisible() || size().isEmpty()) return;
  if (isFloating()) {
    m_szFloat = size();
    return;
  }
  QMainWindow* frame = qobject_cast<QMainWindow*>(parentWidget());
  if (!frame) return;
  const Qt::DockWidgetArea area = frame->dockWidgetArea(this);
  if (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea) m_szVert = size();
  else if (area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea) m_szHorz = size();
}

void CSizingControlBarG::SaveSizes(CProfile& profile, const QString& modeSection) {
  CaptureSize();
  const QString s = SizeSection(modeSection, m_nBarId);
  profile.WriteInt(s, QStringLiteral("sizeHorzCX"), m_szHorz.width());
  profile.WriteInt(s, QStringLiteral("sizeHorzCY"), m_szHorz.height());
  profile.WriteInt(s, QStringLiteral("sizeVertCX"), m_szVert.width());
  profile.WriteInt(s, QStringLiteral("sizeVertCY"), m_szVert.height());
  profile.WriteInt(s, QStringLiteral("sizeFloatCX"), m_szFloat.width());
  profile.WriteInt(s, QStringLiteral("sizeFloatCY"), m_szFloat.height());
}
