// A user interface without a display for the document's tests: message boxes are recorded and
// answered at once, the wait dialog runs as a loop on the calling thread that follows the same
// protocol as the real one, posted commands queue up until PumpEvents dispatches them.
#ifndef KORVANE_HEADLESS_UI_H
#define KORVANE_HEADLESS_UI_H

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/document/core/korvane_doc.h"

class HeadlessUi : public IDocumentUi {
 public:
  struct Box {
    std::string text;
    std::string caption;
    int icon;
  };

  CKorvaneDoc* doc = nullptr;
  int answer = ANSWER_OK;
  // What the wait dialog does once open: 0 wait for the close request, 1 press "Break" at once
  // (which closes it, as in the real dialog).
  int dialogAction = 0;
  // Called on every round of the open wait dialog (the UI thread repainting, or a command coming
  // in while the document waits); gets the round number, from 0.
  std::function<void(int round)> whileWaiting;
  // What the wait dialog showed when it opened last.
  int openedWithCount = -1, openedWithPosition = -1;
  std::string nameToGive = "snapshot";
  bool giveName = true;

  int MessageBox(const QString& text, const QString& caption, int icon, int buttons) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    boxes.push_back({text.toStdString(), caption.toStdString(), icon});
    return answer;
  }

  void RunWaitDialog(CKorvaneDoc* d) override {
    ++dialogsOpened;
    pumpsBeforeDialog = pumps;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_closeRequested = false;
    }
    if (!d->WaitDialogOpening()) {
      d->WaitDialogClosed();
      return;
    }
    {
      int range = 0;
      d->WaitDialogProgress(&openedWithCount, &openedWithPosition, &range);
    }
    if (dialogAction == 1) {
      d->WaitDialogBreak();
      d->WaitDialogClosed();
      return;
    }
    // A Break from whileWaiting leaves the dialog open until the job asks to close it.
    for (int round = 0;; ++round) {
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closeRequested) break;
      }
      int count = 0, position = 0, range = 0;
      d->WaitDialogProgress(&count, &position, &range);
      if (whileWaiting) {
        whileWaiting(round);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    }
    d->WaitDialogClosed();
  }

  void CloseWaitDialog() override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closeRequested = true;
  }

  void PumpEvents() override {
    ++pumps;
    std::deque<int> pending;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      pending.swap(m_posted);
    }
    for (int id : pending) {
      ++commandsDispatched;
      if (doc) doc->OnCommand(id);
    }
  }

  void PostCommand(int id) override {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_posted.push_back(id);
      posted.push_back(id);
    }
    if (onPost) onPost();
  }
  // Called on the posting thread after a command was queued (a view test hands PumpEvents to its
  // event loop here, as the frame's PostCommand does).
  std::function<void()> onPost;

  void ShowElapsedTime(double seconds) override { elapsed.push_back(seconds); }
  void ShowElapsedTimeAndSteps(double seconds, unsigned long long n, bool traced) override {
    elapsed.push_back(seconds);
    steps.push_back(n);
    stepsTraced.push_back(traced);
  }
  void ShowNote(const QString& text) override { notes.push_back(text.toStdString()); }
  void ShowResultPosition(int index, int count) override {
    positionIndex = index;
    positionCount = count;
  }
  void SaveModeLayout(int mode) override { saved.push_back(mode); }
  void LoadModeLayout(int mode) override { loaded.push_back(mode); }
  bool AskName(QString& name) override {
    askedWith.push_back(name.toStdString());
    if (!giveName) return false;
    name = QString::fromStdString(nameToGive);
    return true;
  }

  // Pumps posted commands until `done` holds or the time runs out (generous: slow machines).
  template <class F>
  bool PumpUntil(F done, int ms = 20000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      PumpEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  // How often a command was posted (from any thread).
  int PostedCount(int id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (int p : posted) n += p == id;
    return n;
  }

  std::vector<Box> Boxes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return boxes;
  }
  void ClearBoxes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    boxes.clear();
  }

  std::vector<Box> boxes;
  std::vector<int> posted;
  std::vector<double> elapsed;
  std::vector<unsigned long long> steps;  // beside each elapsed time the steps shown with it
  std::vector<bool> stepsTraced;          // and whether the traced search counted them
  std::vector<std::string> notes;         // status-bar notes
  std::vector<int> saved, loaded;
  int positionIndex = -1, positionCount = -1;
  std::vector<std::string> askedWith;  // the prefilled text of each name dialog
  int dialogsOpened = 0;
  int pumps = 0;              // calls of PumpEvents (the UI thread's)
  int pumpsBeforeDialog = -1; // of those, the ones before the last wait dialog opened
  int commandsDispatched = 0;

 private:
  std::mutex m_mutex;
  bool m_closeRequested = false;
  std::deque<int> m_posted;
};

// A view that records the hints it receives.
class RecordingView : public CDocView {
 public:
  void OnUpdate(CDocView* sender, int hint) override { hints.push_back(hint); }
  int Union() const {
    int u = 0;
    for (int h : hints) u |= h;
    return u;
  }
  std::vector<int> hints;
};

// UTF-16 from a narrow literal (ASCII in the tests).
inline std::vector<unsigned short> U16(const std::string& s) { return std::vector<unsigned short>(s.begin(), s.end()); }

#endif
