// The small dialogs of the frame: the wait dialog "Please wait ..." that a long search shows
// (count of results, progress bar, "Break"), the name dialog of snapshots and clips, and the
// About box.
//
// Covered by app/ui/tests/frame_test.cpp (wait dialog rows).
#ifndef KORVANE_FRAME_DIALOGS_H
#define KORVANE_FRAME_DIALOGS_H

#include <QDialog>
#include <QString>

class CKorvaneDoc;
class QLabel;
class QLineEdit;
class QProgressBar;

// Modal while a job runs; follows the document's protocol: WaitDialogOpening when it opens
// (closing at once when the job already ended), the progress every 300 ms, WaitDialogBreak for
// "Break", WaitDialogClosed once closed. Closed by the frame (CloseForJob) when the worker asks
// for it. Every other way of closing it (Esc, the window's close button) is a Break: the job
// must not go on unseen.
class CProgressDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 300;

  CProgressDialog(CKorvaneDoc* doc, QWidget* parent);
  // Runs the dialog to its end (the whole protocol).
  void Run();
  // Shows the document's progress now.
  void Refresh();
  int ShownCount() const;
  int ShownPosition() const;
  // Closes the dialog because the job ended or paused (no Break).
  void CloseForJob();
  // Break, then close: the Break button, Esc and the close button all come here.
  void reject() override;

 private:
  CKorvaneDoc* m_pDoc;
  bool m_bClosingForJob = false;
  QLabel* m_pCount;
  QProgressBar* m_pBar;
};

class CNameDialog : public QDialog {
  Q_OBJECT

 public:
  CNameDialog(const QString& name, QWidget* parent);
  QString Name() const;

 private:
  QLineEdit* m_pEdit;
};

// The About box: program name, version and description.
void ShowAboutBox(QWidget* parent);

#endif
