// A pattern compiled with the host build and mirrored into element records, written as 8-bit
// text: the fixture of the record tests here and of the plugin API's tests in the plugin host.
#ifndef KORVANE_RECORD_FIXTURE_H
#define KORVANE_RECORD_FIXTURE_H

#include <vector>

#include "app/document/pattern/element_records.h"

namespace record_test {

// Each byte becomes one code unit (Latin-1).
inline std::vector<unsigned short> U16(const char* s) {
  std::vector<unsigned short> v;
  for (; *s; ++s) v.push_back(static_cast<unsigned char>(*s));
  return v;
}

struct Pattern {
  explicit Pattern(const char* p, int flags = 0) : text(U16(p)), re(text.data(), static_cast<int>(text.size()), flags) {
    tree.Build(re, text.data(), static_cast<int>(text.size()));
  }
  std::vector<unsigned short> text;
  HostRegexp re;
  CElementTree tree;
};

}  // namespace record_test

#endif
