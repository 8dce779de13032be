// Another running copy for the clips tests: a document on the given clips file and shared
// counter that changes one clip as the clip list view does (the change, then a notification
// with 0x10000), or waits until another copy's clip shows.
//
//   clips_peer FILE COUNTER add TEXT NAME [GO]     adds the clip
//   clips_peer FILE COUNTER rename TEXT NAME [GO]  gives the clip TEXT the name NAME
//   clips_peer FILE COUNTER remove TEXT - [GO]     deletes the clip TEXT
//   clips_peer FILE COUNTER wait TEXT MS           prints "ready", then checks the version (as
//                                                  the frame does on focus) until a clip TEXT
//                                                  shows; prints the clips and exits 0, or
//                                                  exits 1 after MS
//
// The document is made (and reads the file) first. With GO, the copy then prints "ready" and
// waits until the file GO exists before it changes anything, so that a test can make many
// copies change the file at the same moment, each from the list it read before. A change
// prints "saved N" (the CTextClips::ESave value of its write) and exits 0; 3 when the clip
// to rename or delete is not in the list the copy read.
#include <QFile>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "app/document/core/tests/headless_ui.h"
#include "app/document/files/text_clips.h"
#include "platform/shared_counter.h"

namespace {

void PrintClips(const CKorvaneDoc& doc) {
  for (const TextClip& c : doc.GetClips().List().Clips())
    std::printf("clip %s|%s\n", std::string(c.text.begin(), c.text.end()).c_str(),
                std::string(c.name.begin(), c.name.end()).c_str());
}

bool WaitForFile(const QString& path, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!QFile::exists(path)) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) return 2;
  CSharedCounter counter;
  counter.Open(QString::fromLocal8Bit(argv[2]));
  CTextClips::SetDefaultLocation(QString::fromLocal8Bit(argv[1]), &counter);
  HeadlessUi ui;
  CKorvaneDoc doc(&ui);
  ui.doc = &doc;
  const std::string command = argv[3];
  const std::vector<unsigned short> text = U16(argv[4]);

  if (command == "wait") {
    std::printf("ready\n");
    std::fflush(stdout);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atoi(argv[5]));
    while (std::chrono::steady_clock::now() < end) {
      doc.CheckClipsVersion();
      if (doc.GetClips().List().Find(text) >= 0) {
        PrintClips(doc);
        return 0;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 1;
  }

  if (argc > 6) {
    std::printf("ready\n");
    std::fflush(stdout);
    if (!WaitForFile(QString::fromLocal8Bit(argv[6]), 300000)) return 4;
  }
  const int index = doc.GetClips().List().Find(text);
  if (command == "add") {
    doc.GetClips().AddClip(text, U16(argv[5]));
  } else if (command == "rename") {
    if (index < 0) return 3;
    doc.GetClips().SetClipName(index, U16(argv[5]));
  } else if (command == "remove") {
    if (index < 0) return 3;
    doc.GetClips().RemoveClip(index);
  } else {
    return 2;
  }
  doc.Notify(nullptr, HINT_CLIPS);
  std::printf("saved %d\n", static_cast<int>(doc.GetClips().LastSave()));
  return 0;
}
