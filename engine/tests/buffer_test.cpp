// Tests of the growable array and the character helpers.
#include <gtest/gtest.h>

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
