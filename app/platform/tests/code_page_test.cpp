// Tests of CCodePage: line-break normalisation and splitting, and the system code page.
#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace {

struct BreakCase {
  const char* name;
  const char16_t* text;
  const char16_t* normalised;
};

class LineBreaks : public testing::TestWithParam<BreakCase> {};

TEST_P(LineBreaks, EveryBreakBecomesCrLf) {
  const BreakCase& c = GetParam();
  EXPECT_EQ(QString::fromUtf16(c.normalised), CCodePage::NormalizeLineBreaks(QString::fromUtf16(c.text)));
}

INSTANTIATE_TEST_SUITE_P(
    CodePage, LineBreaks,
    testing::Values(BreakCase{"Empty", u"", u""}, BreakCase{"NoBreak", u"abc", u"abc"},
                    BreakCase{"LoneLf", u"a\nb", u"a\r\nb"}, BreakCase{"LoneCr", u"a\rb", u"a\r\nb"},
                    BreakCase{"CrLfKept", u"a\r\nb", u"a\r\nb"},
                    BreakCase{"LfCrIsOneBreak", u"a\n\rb", u"a\r\nb"},
                    BreakCase{"CrLfThenLoneCr", u"\r\n\r", u"\r\n\r\n"},
                    BreakCase{"LfCrThenLoneLf", u"\n\r\n", u"\r\n\r\n"},
                    BreakCase{"TwoCrs", u"\r\r", u"\r\n\r\n"},
                    BreakCase{"TwoLfs", u"\n\n", u"\r\n\r\n"},
                    BreakCase{"CrLfCrLf", u"\r\n\r\n", u"\r\n\r\n"},
                    BreakCase{"TrailingAndLeading", u"\nx\n", u"\r\nx\r\n"},
                    BreakCase{"OtherTextUntouched", u"\u4e2d\t\"\u00e9", u"\u4e2d\t\"\u00e9"}),
    [](const testing::TestParamInfo<BreakCase>& info) { return info.param.name; });

struct SplitCase {
  const char* name;
  const char16_t* text;
  std::vector<const char16_t*> lines;
};

class SplitLines : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitLines, LinesBetweenBreaks) {
  const SplitCase& c = GetParam();
  QStringList expected;
  for (const char16_t* line : c.lines) expected.append(QString::fromUtf16(line));
  EXPECT_EQ(expected, CCodePage::SplitLines(QString::fromUtf16(c.text)));
}

INSTANTIATE_TEST_SUITE_P(
    CodePage, SplitLines,
    testing::Values(SplitCase{"Empty", u"", {u""}}, SplitCase{"OneLine", u"abc", {u"abc"}},
                    SplitCase{"TrailingBreak", u"a\n", {u"a", u""}},
                    SplitCase{"AllFourBreaks", u"a\rb\nc\r\nd\n\re", {u"a", u"b", u"c", u"d", u"e"}},
                    SplitCase{"LfCrThenLf", u"\n\r\n", {u"", u"", u""}},
                    SplitCase{"CrCr", u"x\r\ry", {u"x", u"", u"y"}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return info.param.name; });

// Qt takes the system code page to be UTF-8 on Unix systems, whatever the locale says; the
// exact bytes are pinned there. Elsewhere it is the ANSI code page, which these tests do not
// know.
bool SystemIsUtf8() {
#if defined(Q_OS_UNIX)
  return true;
#else
  return false;
#endif
}

TEST(CodePage, AsciiRoundTripsOnEverySystem) {
  const QString text = QStringLiteral("Elapsed time: 1.5 sec\r\n");
  EXPECT_EQ(text.toLatin1(), CCodePage::FromUtf16(text));
  EXPECT_EQ(text, CCodePage::ToUtf16(text.toLatin1()));
}

TEST(CodePage, Utf8SystemBytes) {
  if (!SystemIsUtf8()) GTEST_SKIP() << "system code page is not UTF-8";
  EXPECT_EQ(QByteArray("\xE4\xB8\xAD\xE6\x96\x87"), CCodePage::FromUtf16(u"\u4e2d\u6587"));
  EXPECT_EQ(QString::fromUtf16(u"\u4e2d\u6587"), CCodePage::ToUtf16("\xE4\xB8\xAD\xE6\x96\x87"));
  // A surrogate pair is one character.
  EXPECT_EQ(QByteArray("\xF0\x9F\x98\x80"), CCodePage::FromUtf16(u"\U0001F600"));
  // No byte-order mark is written.
  EXPECT_EQ(QByteArray("a"), CCodePage::FromUtf16(u"a"));
}

TEST(CodePage, UnrepresentableUnitsBecomeTheReplacementCharacter) {
  if (!SystemIsUtf8()) GTEST_SKIP() << "system code page is not UTF-8";
  // A lone surrogate has no UTF-8 form: it is replaced, not dropped, and the text around it
  // stays.
  const char16_t lone[] = {u'a', 0xD800, u'b', 0};
  const QByteArray bytes = CCodePage::FromUtf16(QStringView(lone));
  EXPECT_EQ(QByteArray("a\xEF\xBF\xBD" "b"), bytes);  // U+FFFD
  const char16_t loneLow[] = {0xDC00, 0};
  EXPECT_EQ(QByteArray("\xEF\xBF\xBD"), CCodePage::FromUtf16(QStringView(loneLow)));
  // A high surrogate at the very end of a piece: each piece is converted on its own, so it is
  // replaced rather than kept back for a following piece.
  const char16_t trailingHigh[] = {u'x', 0xD83D, 0};
  EXPECT_EQ(QByteArray("x\xEF\xBF\xBD"), CCodePage::FromUtf16(QStringView(trailingHigh)));
}

TEST(CodePage, InvalidBytesDecodeToU_FFFD) {
  if (!SystemIsUtf8()) GTEST_SKIP() << "system code page is not UTF-8";
  const QString text = CCodePage::ToUtf16("x\xFFy");
  ASSERT_EQ(3, text.size());
  EXPECT_EQ(QChar::ReplacementCharacter, text[1]);
}

TEST(CodePage, ReadableFileTextHasCrLfAndSystemBytes) {
  EXPECT_EQ(QByteArray("a\r\nb\r\n\r\nc"), CCodePage::ForReadableFile(u"a\nb\r\rc"));
  if (SystemIsUtf8()) {
    EXPECT_EQ(QByteArray("\"\xE4\xB8\xAD\r\n\""), CCodePage::ForReadableFile(u"\"\u4e2d\n\""));
  }
}

}  // namespace
