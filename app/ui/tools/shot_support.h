// What the picture tools share: putting a pattern, a text and a replace-to text into the main
// window's document with the hints a typed edit sends, letting the timers paint, saving a grab
// of the window, and answering every message box (the "finished" note of Find All) at once.
#ifndef KORVANE_SHOT_SUPPORT_H
#define KORVANE_SHOT_SUPPORT_H

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <vector>

#include "app/document/core/korvane_doc.h"
#include "app/ui/frame/main_frame.h"

namespace shots {

inline std::vector<unsigned short> U16Of(const QString& s) {
  return std::vector<unsigned short>(s.utf16(), s.utf16() + s.size());
}

inline void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

inline void SetTexts(CMainFrame& frame, const QString& pattern, const QString& text, const QString& replaceTo) {
  CKorvaneDoc* doc = frame.Doc();
  std::vector<unsigned short> p = U16Of(pattern), t = U16Of(text), r = U16Of(replaceTo);
  doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
  doc->Notify(nullptr, HINT_RECOLOR_PATTERN | HINT_PATTERN_REPLACED);
  doc->Notify(nullptr, HINTS_PATTERN_EDITED);
  doc->SetSubjectText(t.data(), static_cast<int>(t.size()));
  doc->Notify(nullptr, HINT_RECOLOR_PATTERN | HINT_TEXT_HIGHLIGHTS | HINT_SUBJECT_REPLACED);
  doc->Notify(nullptr, HINTS_SUBJECT_EDITED);
  doc->SetReplaceTo(r.data(), static_cast<int>(r.size()));
  doc->Notify(nullptr, HINT_RECOLOR_REPLACE_TO | HINT_REPLACE_TO_REPLACED);
  doc->Notify(nullptr, HINTS_REPLACE_TO_EDITED);
}

inline bool Save(CMainFrame& frame, const QString& path, int settleMs = 400) {
  Settle(settleMs);  // the scroll timers paint the visible windows
  const bool ok = frame.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "failed", qPrintable(path));
  return ok;
}

// Accepts whatever modal message box shows, every 50 ms, for as long as it lives.
class CBoxAnswerer {
 public:
  CBoxAnswerer() {
    QObject::connect(&m_timer, &QTimer::timeout, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
    });
    m_timer.start(50);
  }

 private:
  QTimer m_timer;
};

}  // namespace shots

#endif
