// String-literal conversions: the rules as tables, random round trips (C++ export and Java
// export read back by the C++ import, Visual Basic export read back by the Visual Basic import)
// and an exported C++ literal compiled by the C++ compiler into a program that prints it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "plugins/fennic/fennic_text.h"
#include "plugins/fennic/literals.h"

namespace fennic {
namespace {

typedef std::u16string (*Conversion)(const std::u16string&);

struct Row {
  const char* name;
  Conversion convert;
  const char* in;
  const char* out;
};

TEST(Literals, Rules) {
  static const Row rows[] = {
      // exports
      {"cpp quote backslash", CppExport, "a\"b'c\\d", "\"a\\\"b\\'c\\\\d\""},
      {"cpp trigraph", CppExport, "??=x??(", "\"?\\?=x?\\?(\""},
      {"cpp three question marks", CppExport, "???-", "\"??\\?-\""},
      {"cpp crlf once", CppExport, "a\r\nb", "\"a\\nb\""},
      {"cpp lone cr and lf cr", CppExport, "a\rb\n\rc\n\nd", "\"a\\nb\\nc\\n\\nd\""},
      {"cpp empty", CppExport, "", "\"\""},
      {"java no trigraph step", JavaExport, "??=\\", "\"??=\\\\\""},
      {"vb quotes doubled", VbExport, "a\"b", "\"a\"\"b\""},
      {"vb two lines", VbExport, "ab\r\ncd", "\"ab\" & vbCrLf & \"cd\""},
      // C++ import
      {"cpp import two literals", CppImport, "x = \"\\\\d+\" \"[a-z]\";", "\\d+[a-z]"},
      {"cpp import no quote taken whole", CppImport, "\\\\w\\n", "\\w\n"},
      {"cpp import missing close quote", CppImport, "s = \"abc", "abc"},
      {"cpp import continuation", CppImport, "\"ab\\\ncd\"", "abcd"},
      {"cpp import block comment over lines", CppImport, "/* \"no\"\n more */ \"yes\"", "yes"},
      {"cpp import continuation crlf", CppImport, "\"ab\\\r\ncd\"", "abcd"},
      {"cpp import newline escapes", CppImport, "\"a\\nb\\r\\nc\\n\\rd\\re\"", "a\nb\nc\nd\ne"},
      {"cpp import other escapes stay", CppImport, "\"\\t\\x41\\d\\?\\'\"", "\\t\\x41\\d?'"},
      {"cpp import empty literal", CppImport, "f(\"\", \"x\")", "x"},
      {"cpp import skips comments", CppImport, "/* \"no\" */ a // \"no\"\n \"yes\"", "yes"},
      {"cpp import skips char literal", CppImport, "c = '\"'; s = \"ok\";", "ok"},
      {"cpp import slash not comment", CppImport, "a / b + \"q\"", "q"},
      // Visual Basic import
      {"vb import constants", VbImport, "\"a\"\"b\" & vbCrLf & Chr(9)", "a\"b\n\\x09"},
      {"vb import chr above 255", VbImport, "Chr(300)", "\\u012c"},
      {"vb import chr dollar spaces", VbImport, "x = chr$ ( 65 )", "\\x41"},
      {"vb import rem comment", VbImport, "rem say \"no\"\n\"yes\"", "yes"},
      {"vb import apostrophe comment", VbImport, "' \"no\"\r\n\"yes\"", "yes"},
      {"vb import named constants", VbImport, "VBTAB & vbBack & vbFormFeed & vbVerticalTab & vbLf & vbCr & vbNewLine",
       "\t\\x08\\x0C\\x0B\n\n\n"},
      {"vb import no literal taken whole", VbImport, "abc", "abc"},
      {"vb import empty literal", VbImport, "\"\"", ""},
      {"vb import missing close quote", VbImport, "s = \"abc", "abc"},
  };
  for (const Row& r : rows) EXPECT_EQ(r.out, Narrow(r.convert(Widen(r.in)))) << r.name;
}

TEST(Literals, VbImportHugeChrIsDefined) {
  // Beyond one code unit: a surrogate pair; beyond the last character: the replacement character.
  EXPECT_EQ("\\ufffd", Narrow(VbImport(Widen("Chr(99999999999999999999)"))));
  EXPECT_EQ("\\ud800\\udc00", Narrow(VbImport(Widen("Chr(65536)"))));
  EXPECT_EQ("\\udbff\\udfff", Narrow(VbImport(Widen("Chr(1114111)"))));
  EXPECT_EQ("\\uffff", Narrow(VbImport(Widen("Chr(65535)"))));
}

// Every line break (CR LF, LF CR, CR, LF) as one LF: what an export and import give back.
std::u16string OneLineBreakEach(const std::u16string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c == u'\r' || c == u'\n') {
      if (i + 1 < s.size() && (s[i + 1] == u'\r' || s[i + 1] == u'\n') && s[i + 1] != c) ++i;
      out += u'\n';
    } else {
      out += c;
    }
  }
  return out;
}

std::u16string RandomPattern(std::mt19937& rng, const std::u16string& alphabet, int maxLength) {
  std::uniform_int_distribution<int> len(0, maxLength);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::u16string s;
  for (int n = len(rng); n > 0; --n) s += alphabet[pick(rng)];
  return s;
}

const std::u16string& Alphabet() {
  static const std::u16string a = u"ab?=(/)'<!>-\\\"\r\n\t x$1{}|.*" + std::u16string(1, u'\u4e2d');
  return a;
}

TEST(Literals, RandomRoundTrips) {
  std::mt19937 rng(20240611);
  struct Trip {
    const char* name;
    Conversion exporter, importer;
  };
  static const Trip trips[] = {
      {"C++ export, C++ import", CppExport, CppImport},
      {"Java export, C++ import", JavaExport, CppImport},
      {"VB export, VB import", VbExport, VbImport},
  };
  for (const Trip& t : trips) {
    for (int i = 0; i < 3000; ++i) {
      std::u16string p = RandomPattern(rng, Alphabet(), 24);
      std::u16string literal = t.exporter(p);
      ASSERT_EQ(OneLineBreakEach(p), t.importer(literal)) << t.name << ": " << Narrow(p) << " -> " << Narrow(literal);
    }
  }
}

std::string RunCapture(const std::string& command) {
  std::string out;
  FILE* f = popen(command.c_str(), "r");
  if (!f) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  pclose(f);
  return out;
}

bool HaveCompiler() { return std::system((std::string(FENNIC_TEST_CXX) + " --version >/dev/null 2>&1").c_str()) == 0; }

// The exported literal, pasted into C++ source compiled with trigraphs on, spells the pattern.
TEST(Literals, CppExportCompilesBackToThePattern) {
  if (!HaveCompiler()) GTEST_SKIP() << "no C++ compiler at " << FENNIC_TEST_CXX;
  std::mt19937 rng(7);
  const std::u16string alphabet = u"ab?=(/)'<!>-\\\"\r\n\t x";
  std::vector<std::u16string> patterns = {u"??=??(??/??)??'??<??!??>??-", u"a\\\"b\r\nc\"'", u"\\\n??"};
  for (int i = 0; i < 40; ++i) patterns.push_back(RandomPattern(rng, alphabet, 30));
  std::string dir = testing::TempDir();
  std::string src = dir + "fennic_literal_check.cpp", exe = dir + "fennic_literal_check";
  {
    std::ofstream f(src);
    f << "#include <cstdio>\n#include <cstring>\nstatic const char* const kLiterals[] = {\n";
    for (const std::u16string& p : patterns) f << "  " << Narrow(CppExport(p)) << ",\n";
    f << "};\nint main() {\n  for (const char* s : kLiterals) { std::fwrite(s, 1, std::strlen(s), stdout); "
         "std::fputc(0, stdout); }\n}\n";
  }
  std::string cmd = std::string(FENNIC_TEST_CXX) + " -std=c++14 -trigraphs -Wno-trigraphs -o " + exe + " " + src;
  ASSERT_EQ(0, std::system(cmd.c_str())) << cmd;
  std::string out = RunCapture(exe);
  std::string expected;
  for (const std::u16string& p : patterns) expected += Narrow(OneLineBreakEach(p)) + std::string(1, '\0');
  EXPECT_EQ(expected, out);
}

}  // namespace
}  // namespace fennic
