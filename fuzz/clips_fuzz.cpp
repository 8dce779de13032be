// clips_fuzz: the clips file reader on any bytes (read as UTF-16LE code units, an odd last byte
// dropped; the program itself leaves a file of odd length alone, see text_clips.h, but the
// parser must cope with any units). The clips that come out must have unique texts, and
// writing them and reading the file back must give the same clips: a clips file never changes
// what it holds by being loaded and saved again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/document/clips_format.h"

namespace korvane_fuzz {
namespace {

[[noreturn]] void Fail(const char* what, int index) {
  std::fprintf(stderr, "clips_fuzz: %s (clip %d)\n", what, index);
  std::abort();
}

}  // namespace

int ClipsFuzzOne(const uint8_t* data, size_t size) {
  std::vector<unsigned short> units(size / 2);
  for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<unsigned short>(data[2 * i] | data[2 * i + 1] << 8);
  const CTextClipList clips = CClipsFormat::Parse(units.data(), units.size());
  for (int i = 0; i < clips.Count(); ++i)
    if (clips.Find(clips.At(i).text) != i) Fail("two clips with one text", i);
  const std::vector<unsigned short> file = CClipsFormat::Format(clips);
  const CTextClipList back = CClipsFormat::Parse(file.data(), file.size());
  if (back.Count() != clips.Count()) Fail("a saved clips file reads back with another count", back.Count());
  for (int i = 0; i < clips.Count(); ++i) {
    if (back.At(i).text != clips.At(i).text) Fail("a clip text changed in a save and load", i);
    if (back.At(i).name != clips.At(i).name) Fail("a clip name changed in a save and load", i);
  }
  return 0;
}

}  // namespace korvane_fuzz

#if defined(KORVANE_LIBFUZZER)
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return korvane_fuzz::ClipsFuzzOne(data, size);
}
#endif
