// Shared pieces of the editor views' tests: a user interface without a display for the
// document (message boxes answered at once, the wait dialog as a loop that follows the real
// one's protocol, posted commands dispatched by PumpEvents), a view that records hints, helpers
// to set the document's texts, and the test main (offscreen, English strings).
#ifndef KORVANE_EDITOR_TEST_UTIL_H
#define KORVANE_EDITOR_TEST_UTIL_H

#include <QApplication>
#include <QCoreApplication>
#include <QString>
#include <QTest>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "app/document/korvane_doc.h"
#include "stringtable.h"

class TestUi : public IDocumentUi {
 public:
  CKorvaneDoc* doc = nullptr;
  std::vector<QString> boxes;

  int MessageBox(const QString& text, const QString&, int, int) override {
    boxes.push_back(text);
    return ANSWER_OK;
  }
  void RunWaitDialog(CKorvaneDoc* d) override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_closeRequested = false;
    }
    if (!d->WaitDialogOpening()) {
      d->WaitDialogClosed();
      return;
    }
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closeRequested) break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    d->WaitDialogClosed();
  }
  void CloseWaitDialog() override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closeRequested = true;
  }
  void PumpEvents() override {
    std::deque<int> pending;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      pending.swap(m_posted);
    }
    for (int id : pending)
      if (doc) doc->OnCommand(id);
  }
  void PostCommand(int id) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_posted.push_back(id);
  }
  void ShowElapsedTime(double) override {}
  void ShowResultPosition(int, int) override {}
  void SaveModeLayout(int) override {}
  void LoadModeLayout(int) override {}
  bool AskName(QString& name) override {
    name = QStringLiteral("snapshot");
    return true;
  }

  // Dispatches posted commands and Qt events until `done` holds (generous limit: slow machines).
  template <class F>
  bool PumpUntil(F done, int ms = 20000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      PumpEvents();
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

 private:
  std::mutex m_mutex;
  bool m_closeRequested = false;
  std::deque<int> m_posted;
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
