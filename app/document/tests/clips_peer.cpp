// A second running copy for the clips tests: a document on the given clips file and shared
// counter that either adds a clip and announces it, or waits until another copy's clip shows.
//
//   clips_peer FILE COUNTER add TEXT NAME       adds the clip, notifies 0x10000, prints the version
//   clips_peer FILE COUNTER wait TEXT MS        prints "ready", then checks the version (as the
//                                               frame does on focus) until a clip TEXT shows;
//                                               prints the clips and exits 0, or exits 1 after MS
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "app/document/tests/headless_ui.h"
#include "platform/shared_counter.h"

namespace {

void PrintClips(const CKorvaneDoc& doc) {
  for (const TextClip& c : doc.GetClips().List().Clips())
    std::printf("clip %s|%s\n", std::string(c.text.begin(), c.text.end()).c_str(),
                std::string(c.name.begin(), c.name.end()).c_str());
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
  const std::vector<unsigned short> text = U16(argv[4]);
  if (std::strcmp(argv[3], "add") == 0) {
    doc.AddClip(text, U16(argv[5]));
    doc.Notify(nullptr, HINT_CLIPS);
    std::printf("version %d\n", counter.Read());
    return 0;
  }
  if (std::strcmp(argv[3], "wait") == 0) {
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
  return 2;
}
