// clips_fuzz: the clips file reader on any bytes (read as UTF-16LE code units, an odd last byte
// dropped; the program itself leaves a file of odd length alone, see text_clips.h, but the
// parser must cope with any units). The clips that come out must have unique texts, and
// writing them and reading the file back must give the same clips: a clips file never changes
// what it holds by being loaded and saved again. The direct readings of a line and of a
// literal's escapes must give exactly what the patterns that define them give.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/document/files/clips_format.h"

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

  // The direct readings give what the engine's patterns give: for every line as the file is cut
  // (no CR or LF inside), and for the whole input as one piece (with them).
  auto same = [](const unsigned short* p, size_t n, int index) {
    const int length = static_cast<int>(n);
    if (CClipsFormat::Unescape(p, length) != CClipsFormat::UnescapeWithPattern(p, length))
      Fail("Unescape differs from its pattern", index);
    const TextClip a = CClipsFormat::ParseLine(p, length);
    const TextClip b = CClipsFormat::ParseLineWithPattern(p, length);
    if (a.text != b.text || a.name != b.name) Fail("ParseLine differs from its pattern", index);
  };
  same(units.data(), units.size(), -1);
  for (size_t i = 0, line = 0; i < units.size(); ++line) {
    size_t end = i;
    while (end < units.size() && units[end] != '\r' && units[end] != '\n') ++end;
    same(units.data() + i, end - i, static_cast<int>(line));
    i = end + 1;
  }
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
