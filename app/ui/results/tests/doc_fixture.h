// A document on the headless user interface for the view tests, with the fail-point check off
// (it would run background searches after every change) and helpers to set it up.
#ifndef KORVANE_RESULT_DOC_FIXTURE_H
#define KORVANE_RESULT_DOC_FIXTURE_H

#include <QObject>
#include <QString>
#include <memory>

#include "app/document/core/tests/headless_ui.h"

struct DocFixture {
  HeadlessUi ui;
  std::unique_ptr<CKorvaneDoc> doc;

  DocFixture() {
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
    if (doc->QueryCommand(CMD_LOCATE_FAIL_POINT).checked) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
  }
  ~DocFixture() {
    ui.doc = nullptr;
    doc.reset();
  }

  static std::vector<unsigned short> U16Of(const QString& s) {
    return std::vector<unsigned short>(s.utf16(), s.utf16() + s.size());
  }
  void SetPattern(const QString& p) {
    std::vector<unsigned short> u = U16Of(p);
    doc->SetPattern(u.data(), static_cast<int>(u.size()), true);
    doc->Notify(nullptr, HINTS_PATTERN_EDITED);
  }
  void SetText(const QString& t) {
    std::vector<unsigned short> u = U16Of(t);
    doc->SetSubjectText(u.data(), static_cast<int>(u.size()));
    doc->Notify(nullptr, HINTS_SUBJECT_EDITED | HINT_SUBJECT_REPLACED);
  }
  void SetReplaceTo(const QString& t) {
    std::vector<unsigned short> u = U16Of(t);
    doc->SetReplaceTo(u.data(), static_cast<int>(u.size()));
    doc->Notify(nullptr, HINTS_REPLACE_TO_EDITED | HINT_REPLACE_TO_REPLACED);
  }
  // Turns the option on or off through its command, as the option check boxes do.
  void SetFlag(int bit, int command, bool on) {
    if (((doc->GetFlags() & bit) != 0) != on) doc->OnCommand(command);
  }
  void Set(const QString& pattern, const QString& text, bool rightToLeft = false) {
    SetFlag(RIGHTTOLEFT, CMD_RIGHTTOLEFT, rightToLeft);
    SetPattern(pattern);
    SetText(text);
  }
  void FindAll() { doc->OnCommand(CMD_FIND_ALL); }
};

// A DocFixture whose posted commands reach the document through the Qt event loop, as the
// frame's do, for views that wait for a worker of the document with QSignalSpy::wait or
// QTest::qWait (the Backtracking pane and the session's results).
struct LiveDocFixture : DocFixture {
  QObject dispatcher;  // a dispatch still queued when the fixture goes dies with it

  LiveDocFixture() {
    ui.onPost = [this] { QMetaObject::invokeMethod(&dispatcher, [this] { ui.PumpEvents(); }, Qt::QueuedConnection); };
  }
  ~LiveDocFixture() {
    ui.doc = nullptr;
    doc.reset();  // ends the document's workers: nothing posts any more
    ui.onPost = nullptr;
  }
};

#endif
