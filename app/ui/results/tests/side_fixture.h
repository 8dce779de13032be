// The document fixture for the clip list and snapshot tree tests: the clips file in a temporary
// folder with a counter of its own (so no running copy of the program is disturbed), and the
// questions and the name dialog answered by the test.
#ifndef KORVANE_RESULT_SIDE_FIXTURE_H
#define KORVANE_RESULT_SIDE_FIXTURE_H

#include <QCoreApplication>
#include <QTemporaryDir>

#include "app/document/files/snapshot.h"
#include "app/document/files/text_clips.h"
#include "app/ui/results/tests/doc_fixture.h"
#include "app/ui/results/view_prompts.h"
#include "platform/shared_counter.h"

struct SideFixtureBase {
  QTemporaryDir dir;
  CSharedCounter counter;
  QString counterName;
  std::vector<QString> asked;   // questions asked, in order
  int answer = CViewPrompts::ANSWER_YES;
  QString nameToGive = QStringLiteral("named");
  bool giveName = true;
  int namesAsked = 0;
  QString lastPrefill;

  SideFixtureBase() {
    counterName = QStringLiteral("korvane-result-views-test-%1").arg(QCoreApplication::applicationPid());
    counter.Open(counterName);
    CTextClips::SetDefaultLocation(dir.filePath(QStringLiteral("test.clips")), &counter);
    CViewPrompts::SetAsker([this](const QString& text, int) {
      asked.push_back(text);
      return answer;
    });
    CViewPrompts::SetNameAsker([this](QString& name) {
      ++namesAsked;
      lastPrefill = name;
      if (!giveName) return false;
      name = nameToGive;
      return true;
    });
  }
  ~SideFixtureBase() {
    CViewPrompts::SetAsker({});
    CViewPrompts::SetNameAsker({});
    CTextClips::SetDefaultLocation(QString(), nullptr);
    counter.Close();
    CSharedCounter::RemoveShared(counterName);
  }
};

// The base is made first, so the document finds the clips location in place.
struct SideFixture : SideFixtureBase, DocFixture {};

#endif
