// The boundary between the document and the user interface. The document never includes
// QtWidgets: everything it needs from the UI goes through IDocumentUi, which the main frame
// implements and the tests replace with a headless one. Views register with the document as
// CDocView and receive its bit-coded update hints.
#ifndef KORVANE_DOC_UI_H
#define KORVANE_DOC_UI_H

#include <QString>

class CKorvaneDoc;

class CDocView {
 public:
  virtual ~CDocView() {}
  // Called on the UI thread with the hint bits of what changed; `sender` is the view whose
  // change caused the notification, or null.
  virtual void OnUpdate(CDocView* sender, int hint) = 0;
};

class IDocumentUi {
 public:
  enum Icon { ICON_NONE = 0, ICON_INFORMATION = 1, ICON_WARNING = 2, ICON_QUESTION = 3 };
  enum Buttons { BUTTONS_OK = 0, BUTTONS_OK_CANCEL = 1, BUTTONS_YES_NO_CANCEL = 2 };
  enum Answer { ANSWER_OK = 1, ANSWER_CANCEL = 2, ANSWER_YES = 6, ANSWER_NO = 7 };

  virtual ~IDocumentUi() {}
  // A message box on the UI thread; returns the answer.
  virtual int MessageBox(const QString& text, const QString& caption, int icon, int buttons) = 0;
  // The modal "Please wait ..." dialog. The implementation calls doc->WaitDialogOpening() when it
  // opens (closing at once when that returns false), shows doc->WaitDialogProgress() every
  // 300 ms, calls doc->WaitDialogBreak() for "Break", closes when CloseWaitDialog() is called
  // (from any thread), and calls doc->WaitDialogClosed() when it has closed.
  virtual void RunWaitDialog(CKorvaneDoc* doc) = 0;
  // Called by the match worker (under the document's dialog lock) to close an open wait dialog;
  // must only post the request and return.
  virtual void CloseWaitDialog() = 0;
  // Takes and dispatches pending UI events (the document's wait loop).
  virtual void PumpEvents() = 0;
  // Posts a command to the main window, to be handled later on the UI thread by
  // doc->OnCommand(id). Called from any thread.
  virtual void PostCommand(int id) = 0;
  // Status-bar panes: elapsed seconds (negative clears) and "i of n results".
  virtual void ShowElapsedTime(double seconds) = 0;
  // The elapsed time with the steps the search took, counted by the traced search or the direct
  // one (step_counts.h); a UI that shows no steps shows the time.
  virtual void ShowElapsedTimeAndSteps(double seconds, unsigned long long steps, bool traced) {
    (void)steps;
    (void)traced;
    ShowElapsedTime(seconds);
  }
  virtual void ShowResultPosition(int index, int count) = 0;
  // A passing note in the status bar (the trace history dropped its oldest steps).
  virtual void ShowNote(const QString& text) { (void)text; }
  // The frame keeps one window layout per work mode.
  virtual void SaveModeLayout(int mode) = 0;
  virtual void LoadModeLayout(int mode) = 0;
  // Asks for a snapshot name; false when cancelled.
  virtual bool AskName(QString& name) = 0;
};

#endif
