// compile_fuzz: compiles one pattern in the plain and the host build, 8-bit and 16-bit, checks
// every compiled graph (harness_impl.inc) and compares the builds and widths.
//
// Input: byte 0 holds the compile flags in its low six bits (all 64 combinations); bit 6 set
// reads the rest as little-endian 16-bit code units, clear as one code unit per byte. The 8-bit
// engines get the low byte of each unit.
#include "fuzz/harness.h"

namespace tarno_fuzz {
namespace {

Units Decode(const uint8_t* data, size_t size, bool pairs) {
  Units out;
  if (pairs) {
    for (size_t i = 0; i + 1 < size; i += 2) out.push_back(static_cast<uint16_t>(data[i] | (data[i + 1] << 8)));
  } else {
    out.assign(data, data + size);
  }
  return out;
}

// Whether the 8-bit and the 16-bit build must compile the pattern alike: every unit is ASCII and
// no \x or \u escape can make a character beyond it (those are cut to the width).
bool SameInBothWidths(const Units& p) {
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] >= 0x80) return false;
    if (p[i] == '\\' && i + 1 < p.size() && (p[i + 1] == 'x' || p[i + 1] == 'u')) return false;
  }
  return true;
}

}  // namespace

int CompileFuzzOne(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int flags = data[0] & 0x3F;
  const Units pattern = Decode(data + 1, size - 1, (data[0] & 0x40) != 0);
  const Build* builds[4] = {&Plain8(), &Plain16(), &Host8(), &Host16()};
  CompileReport r[4];
  for (int i = 0; i < 4; ++i) r[i] = builds[i]->compile(pattern, flags);
  if (SameInBothWidths(pattern)) {
    if (r[0].dump != r[1].dump) FuzzFail("plain", "8-bit and 16-bit graphs differ", pattern, flags, nullptr, r[0].dump + "\n  " + r[1].dump);
    if (r[2].dump != r[3].dump) FuzzFail("host", "8-bit and 16-bit graphs differ", pattern, flags, nullptr, r[2].dump + "\n  " + r[3].dump);
  }
  // Balancing groups exist only in the host build; everything else numbers groups alike.
  for (int w = 0; w < 2; ++w) {
    const CompileReport& plain = r[w];
    const CompileReport& host = r[w + 2];
    if (host.balancing) continue;
    if (plain.maxGroup != host.maxGroup || plain.tableSize != host.tableSize)
      FuzzFail(builds[w]->name, "plain and host build number groups differently", pattern, flags, nullptr,
               std::to_string(plain.maxGroup) + "/" + std::to_string(plain.tableSize) + " vs " +
                   std::to_string(host.maxGroup) + "/" + std::to_string(host.tableSize));
  }
  return 0;
}

}  // namespace tarno_fuzz

#ifdef TARNO_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return tarno_fuzz::CompileFuzzOne(data, size);
}
#endif
