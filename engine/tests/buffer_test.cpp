// Tests of the growable array and the character helpers.
#include <gtest/gtest.h>

#include <memory>

#include "engine/tarno.h"

namespace {

TEST(Buffer, GrowthRule) {
  // At least 8, else twice the old capacity; when that is short, needed + 11 rounded down to 8.
  EXPECT_EQ(8, CBufferT<int>::NextCapacity(0, 1));
  EXPECT_EQ(16, CBufferT<int>::NextCapacity(8, 9));
  EXPECT_EQ(104, CBufferT<int>::NextCapacity(8, 100));
  EXPECT_EQ(24, CBufferT<int>::NextCapacity(0, 13));
  CBufferT<int> b;
  for (int i = 0; i < 9; ++i) b.Push(i);
  EXPECT_EQ(16, b.GetCapacity());
  b.Append(nullptr, 0);
  std::vector<int> many(100, 7);
  b.Append(many.data(), 100);
  EXPECT_EQ(109, b.GetSize());
  EXPECT_EQ(120, b.GetCapacity());
}

// A match result keeps its ints inline up to ResultValues::kInline and on the heap beyond; the
// values survive every move across that line, copies and shrinking.
TEST(ResultValues, InlineAndHeap) {
  const int kLine = ResultValues::kInline;
  for (int size : {0, 1, kLine - 1, kLine, kLine + 1, 3 * kLine}) {
    ResultValues v;
    for (int i = 0; i < size; ++i) v.Push(100 + i);
    ASSERT_EQ(size, v.GetSize());
    ResultValues copy(v);
    ResultValues assigned;
    assigned.Push(-1);
    assigned = v;
    v.Push(7);  // the original grows (maybe across the line); the copies keep their values
    for (const ResultValues* r : {&copy, &assigned}) {
      ASSERT_EQ(size, r->GetSize());
      for (int i = 0; i < size; ++i) ASSERT_EQ(100 + i, (*r)[i]) << size << " " << i;
    }
    ASSERT_EQ(7, v[size]);
    for (int i = 0; i < size; ++i) ASSERT_EQ(100 + i, v[i]) << size << " " << i;
    v.Resize(1);  // shrinking keeps the front, growing again within the line keeps it too
    v.Resize(3);
    v[2] = 9;
    EXPECT_EQ(size > 0 ? 100 : 7, v[0]) << size;
    EXPECT_EQ(9, v[2]);
  }
  // The result a search gives for many groups reads the same through the accessors.
  CRegexpT<char> re("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)");
  MatchResult m = re.Match("xabcdefghijklm");
  ASSERT_TRUE(m.IsMatched());
  EXPECT_EQ(13, m.MaxGroupNumber());
  EXPECT_EQ(1, m.GetStart());
  EXPECT_EQ(13, m.GetGroupStart(13));
  EXPECT_EQ(14, m.GetGroupEnd(13));
  MatchResult copy = m;
  EXPECT_EQ(12, copy.GetGroupStart(12));
}

TEST(Buffer, InsertRemoveRestore) {
  CBufferT<int> b;
  b.Push(1);
  b.Push(3);
  b.Insert(1, 2);
  b.Insert(3, 4);
  ASSERT_EQ(4, b.GetSize());
  for (int i = 0; i < 4; ++i) EXPECT_EQ(i + 1, b[i]);
  b.RemoveAt(0);
  EXPECT_EQ(2, b[0]);
  b.Restore(1);
  EXPECT_EQ(1, b.GetSize());
  b.Restore(5);  // never grows
  EXPECT_EQ(1, b.GetSize());
  CBufferT<int> c(b);
  c.Push(9);
  EXPECT_EQ(1, b.GetSize());
  EXPECT_EQ(2, c.GetSize());
}

TEST(Chars, CaseMappingIsAPairing) {
  for (unsigned c = 0; c < 0x10000; ++c) {
    unsigned u = TarnoUpperWide(c), l = TarnoLowerWide(c);
    if (u != c) {
      EXPECT_EQ(c, TarnoLowerWide(u)) << std::hex << c;
    }
    if (l != c) {
      EXPECT_EQ(c, TarnoUpperWide(l)) << std::hex << c;
    }
    EXPECT_FALSE(u != c && l != c) << std::hex << c;
  }
  EXPECT_EQ(0xC9u, TarnoUpper<unsigned short>(0xE9));
  EXPECT_EQ(0xE9u, TarnoUpper<char>(0xE9));  // 8-bit text maps ASCII only
  EXPECT_EQ(0x178u, TarnoUpperWide(0xFF));
  EXPECT_EQ(0x130u, TarnoUpperWide(0x130));
}

// The vector scan against a plain loop: every start alignment, every range length up to five
// blocks, the hit at every place (or none), with units equal to the targets just outside the
// range that must not be reported, high units (0x8000 and up compare as equal, not as signed),
// and a == b. The text lives in a heap block of exactly its size, so a read past either end shows
// under the address sanitizer.
TEST(Chars, FindEitherAgreesWithAScanByHand) {
  const unsigned kTargets[][2] = {{'x', 'X'}, {0xD800, 0xD800}, {0xFFFF, 0x41}};
  for (const auto& ab : kTargets) {
    for (int from = 0; from < 9; ++from) {
      for (int len = 0; len <= 40; ++len) {
        for (int hit = -1; hit < len; ++hit) {
          const int size = from + len + 1;
          std::unique_ptr<unsigned short[]> text(new unsigned short[size]);
          for (int i = 0; i < size; ++i) text[i] = static_cast<unsigned short>('a' + i % 7);
          if (from > 0) text[from - 1] = static_cast<unsigned short>(ab[0]);
          text[from + len] = static_cast<unsigned short>(ab[1]);
          if (hit >= 0) {
            text[from + hit] = static_cast<unsigned short>(hit % 2 ? ab[1] : ab[0]);
            if (hit + 3 < len) text[from + hit + 3] = static_cast<unsigned short>(ab[0]);
          }
          int expected = -1;
          for (int i = from; i < from + len; ++i)
            if (text[i] == ab[0] || text[i] == ab[1]) {
              expected = i;
              break;
            }
          ASSERT_EQ(expected, TarnoFindEither(text.get(), from, from + len, ab[0], ab[1]))
              << std::hex << ab[0] << std::dec << " from " << from << " len " << len << " hit " << hit;
        }
      }
    }
  }
  // 8-bit and 32-bit units take the plain loop.
  const char narrow[] = "abcdefghijklmnopqrstuvwxyz";
  EXPECT_EQ(23, TarnoFindEither(narrow, 3, 26, 'x', 'y'));
  EXPECT_EQ(-1, TarnoFindEither(narrow, 3, 23, 'x', 'y'));
  const wchar_t wide[] = L"abcdefghijklmnopqrstuvwxyz";
  EXPECT_EQ(24, TarnoFindEither(wide, 0, 26, 'y', 'z'));
}

TEST(Chars, PosixClasses) {
  EXPECT_TRUE(TarnoPosixTest(POSIX_PUNCT, '!'));
  EXPECT_FALSE(TarnoPosixTest(POSIX_PUNCT, 'a'));
  EXPECT_TRUE(TarnoPosixTest(POSIX_SPACE, '\v'));
  EXPECT_TRUE(TarnoPosixTest(POSIX_CNTRL, 0x7F));
  EXPECT_FALSE(TarnoPosixTest(POSIX_ALPHA, 0xE9));
  EXPECT_TRUE(TarnoPosixTest(POSIX_BLANK, '\t'));
  EXPECT_FALSE(TarnoPosixTest(POSIX_BLANK, '\n'));
}

}  // namespace
