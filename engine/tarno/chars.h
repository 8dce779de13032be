// Character helpers of the engine: code values of the character types, the case mapping used by
// ignore-case matching and the POSIX class tests. Covered by engine/tests/buffer_test.cpp (Chars).
//
// The case mapping is the engine's own, the same on every platform and in every locale. For 8-bit
// text (which may be UTF-8 bytes) it maps ASCII letters only. For 16-bit text it also maps the
// letters of Latin-1, Latin Extended-A, basic Greek, basic Cyrillic and the full-width Latin
// letters, always as one-to-one pairs of an upper-case and a lower-case letter; a character
// without a partner maps to itself. POSIX classes and \d \s \w are ASCII classes.
#ifndef TARNO_CHARS_H
#define TARNO_CHARS_H

#include <limits>
#include <type_traits>

#include "config.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define TARNO_HAVE_SSE2 1
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif
#endif

TARNO_NAMESPACE_BEGIN

template <class CHART>
struct TarnoChars {
  typedef typename std::make_unsigned<CHART>::type Unit;
  static const bool kWide = sizeof(CHART) > 1;
  static unsigned Code(CHART c) { return static_cast<Unit>(c); }
  // Largest code a character of this type can hold; escapes are cut down to it.
  static unsigned MaxCode() { return std::numeric_limits<Unit>::max(); }
};

// Upper-case partner of a 16-bit code, or the code itself.
inline unsigned TarnoUpperWide(unsigned c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
  if (c < 0x100) {
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0xFF) return 0x178;
    return c;
  }
  if (c < 0x180) {
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
      return c & ~1u;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1u) ? c : c - 1;
    return c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 32;
  return c;
}

// Lower-case partner of a 16-bit code, or the code itself (the inverse of TarnoUpperWide).
inline unsigned TarnoLowerWide(unsigned c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c < 0x100) return (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? c + 32 : c;
  if (c < 0x180) {
    if (c == 0x178) return 0xFF;
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
      return c | 1u;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1u) ? c + 1 : c;
    return c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;
  return c;
}

template <class CHART>
inline unsigned TarnoUpper(unsigned c) {
  if (TarnoChars<CHART>::kWide) return TarnoUpperWide(c);
  return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

template <class CHART>
inline unsigned TarnoLower(unsigned c) {
  if (TarnoChars<CHART>::kWide) return TarnoLowerWide(c);
  return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

inline bool TarnoIsWord(unsigned c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The thirteen POSIX classes, in the order of the names the compiler recognises.
enum PosixClass {
  POSIX_ALNUM, POSIX_ALPHA, POSIX_ASCII, POSIX_CNTRL, POSIX_DIGIT, POSIX_GRAPH, POSIX_LOWER,
  POSIX_PRINT, POSIX_PUNCT, POSIX_SPACE, POSIX_UPPER, POSIX_XDIGIT, POSIX_BLANK, POSIX_COUNT
};

inline bool TarnoPosixTest(int cls, unsigned c) {
  bool lower = c >= 'a' && c <= 'z', upper = c >= 'A' && c <= 'Z', digit = c >= '0' && c <= '9';
  switch (cls) {
    case POSIX_ALNUM: return lower || upper || digit;
    case POSIX_ALPHA: return lower || upper;
    case POSIX_ASCII: return c < 0x80;
    case POSIX_CNTRL: return c < 0x20 || c == 0x7F;
    case POSIX_DIGIT: return digit;
    case POSIX_GRAPH: return c > 0x20 && c < 0x7F;
    case POSIX_LOWER: return lower;
    case POSIX_PRINT: return c >= 0x20 && c < 0x7F;
    case POSIX_PUNCT: return c > 0x20 && c < 0x7F && !(lower || upper || digit);
    case POSIX_SPACE: return (c >= 9 && c <= 13) || c == ' ';
    case POSIX_UPPER: return upper;
    case POSIX_XDIGIT: return digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    case POSIX_BLANK: return c == ' ' || c == '\t';
  }
  return false;
}

// The names as the compiler compares them: the first six characters (seven for "xdigit:").
inline const char* TarnoPosixName(int cls) {
  static const char* const kNames[POSIX_COUNT] = {"alnum:", "alpha:", "ascii:", "cntrl:", "digit:",
                                                  "graph:", "lower:", "print:", "punct:", "space:",
                                                  "upper:", "xdigit:", "blank:"};
  return (cls >= 0 && cls < POSIX_COUNT) ? kNames[cls] : "";
}

#ifdef TARNO_HAVE_SSE2
// Index of the lowest set bit of a non-zero mask.
inline int TarnoLowestBit(unsigned mask) {
#if defined(_MSC_VER) && !defined(__clang__)
  unsigned long i;
  _BitScanForward(&i, mask);
  return static_cast<int>(i);
#else
  return __builtin_ctz(mask);
#endif
}
#endif

// The first position in [from, to) whose unit is `a` or `b`, or -1. Used by the required-string
// filter for 16-bit text, where memchr does not apply: with SSE2 it compares eight units at a
// time, unaligned loads only over whole blocks inside [from, to), the rest one by one; without
// it (or for other unit widths) one by one throughout. Never reads outside [from, to).
template <class CHART>
inline int TarnoFindEither(const CHART* t, int from, int to, unsigned a, unsigned b) {
  int p = from;
#ifdef TARNO_HAVE_SSE2
  if (sizeof(CHART) == 2 && a <= 0xFFFF && b <= 0xFFFF) {
    const __m128i va = _mm_set1_epi16(static_cast<short>(a));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(b));
    for (; p + 8 <= to; p += 8) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + p));
      const __m128i eq = _mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb));
      const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(eq));
      if (mask) return p + TarnoLowestBit(mask) / 2;
    }
  }
#endif
  for (; p < to; ++p) {
    const unsigned c = TarnoChars<CHART>::Code(t[p]);
    if (c == a || c == b) return p;
  }
  return -1;
}

TARNO_NAMESPACE_END

#endif
