// Shared pieces of the editor views' tests: a user interface without a display for the
// document, a view that records hints, helpers to set the document's texts, and the test main
// (offscreen, English strings).
#ifndef KORVANE_EDITOR_TEST_UTIL_H
#define KORVANE_EDITOR_TEST_UTIL_H

#include <QApplication>
#include <QCoreApplication>
#include <QString>
#include <QTest>
#include <vector>

#include "app/document/core/korvane_doc.h"
#include "app/document/core/tests/headless_ui.h"
#include "stringtable.h"

// The document's headless interface (message boxes answered at once, the wait dialog as a loop
// that follows the real one's protocol, posted commands dispatched by PumpEvents), with Qt's own
// events dispatched while waiting, so the views under test run their timers and repaint.
class TestUi : public HeadlessUi {
 public:
  template <class F>
  bool PumpUntil(F done, int ms = 20000) {
    return HeadlessUi::PumpUntil(
        [&] {
          QCoreApplication::processEvents();
          return done();
        },
        ms);
  }
};

// A view that records the hints it receives.
class HintRecorder : public CDocView {
 public:
  void OnUpdate(CDocView*, int hint) override { hints.push_back(hint); }
  int Count(int bit) const {
    int n = 0;
    for (int h : hints)
      if (h & bit) ++n;
    return n;
  }
  std::vector<int> hints;
};

inline std::vector<unsigned short> ToU16(const QString& s) {
  const unsigned short* p = reinterpret_cast<const unsigned short*>(s.utf16());
  return std::vector<unsigned short>(p, p + s.size());
}

// Sets the pattern as a workspace load would and tells the views (recompiled, text replaced).
inline void LoadPattern(CKorvaneDoc* doc, const QString& pattern) {
  std::vector<unsigned short> p = ToU16(pattern);
  doc->SetPattern(p.data(), static_cast<int>(p.size()), false);
  doc->Notify(nullptr, HINT_RECOMPILED | HINT_RECOLOR_PATTERN | HINT_PATTERN_REPLACED | HINT_RESULTS);
}

inline void LoadSubject(CKorvaneDoc* doc, const QString& subject) {
  std::vector<unsigned short> s = ToU16(subject);
  doc->SetSubjectText(s.data(), static_cast<int>(s.size()));
  doc->Notify(nullptr, HINT_SUBJECT_REPLACED | HINT_RESULTS);
}

inline QString PatternText(const CKorvaneDoc* doc) {
  const std::vector<unsigned short>& p = doc->GetPattern();
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(p.data()), static_cast<qsizetype>(p.size()));
}

#define KORVANE_EDITOR_TEST_MAIN(TestClass)                                              \
  int main(int argc, char** argv) {                                                      \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen"); \
    QApplication app(argc, argv);                                                        \
    QCoreApplication::setOrganizationName(QStringLiteral("KorvaneEditorTests"));         \
    QCoreApplication::setApplicationName(QStringLiteral(#TestClass));                    \
    CStringTable::SetCurrent(CStringTable::kEnglish);                                    \
    TestClass test;                                                                      \
    return QTest::qExec(&test, argc, argv);                                              \
  }

#endif
