// Code generation: the template table, the options renderers, the pattern rewrites, the
// colouring, and the generated code itself compiled and run — the TARNO rows with the C++
// compiler against engine/tarno.h, the java.util.regex rows with javac — with the output
// compared to the engine run in this process.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "plugins/fennic/codegen.h"
#include "plugins/fennic/fennic_text.h"
#include "resources/fennic_ids.h"
#include "resources/stringtable.h"

namespace fennic {
namespace {

const CodeTemplateRow& RowOf(int library, int operation) {
  for (const CodeTemplateRow& r : CodeTemplateTable())
    if (r.library == library && r.operation == operation) return r;
  static CodeTemplateRow none{};
  ADD_FAILURE() << "no row " << library << "/" << operation;
  return none;
}

std::u16string Template(int id) { return CStringTable(CStringTable::kEnglish).Get(id).toStdU16String(); }

std::u16string Generate(int library, int operation, const std::u16string& p, const std::u16string& t,
                        const std::u16string& r, int flags) {
  const CodeTemplateRow& row = RowOf(library, operation);
  return GenerateCode(row, Template(row.templateId), p, t, r, flags);
}

TEST(Codegen, TableRowsPerLibrary) {
  struct Row {
    int library;
    std::vector<int> operations;
  };
  const Row rows[] = {
      {IDS_LIB_TARNO, {600, 601, 602, 603}},
      {IDS_LIB_GRETA, {600, 602, 603, 604, 605}},
      {IDS_LIB_REGEXP_OBJECT, {600, 601, 602, 603}},
      {IDS_LIB_JAVA_UTIL_REGEX, {600, 601, 602, 603, 604}},
  };
  ASSERT_EQ(18u, CodeTemplateTable().size());
  for (const Row& r : rows) {
    std::vector<int> ops;
    for (const CodeTemplateRow& t : CodeTemplateTable())
      if (t.library == r.library) ops.push_back(t.operation);
    EXPECT_EQ(r.operations, ops) << r.library;
  }
  // Every template of the table has English text with at least the pattern placeholder.
  for (const CodeTemplateRow& t : CodeTemplateTable())
    EXPECT_NE(std::u16string::npos, Template(t.templateId).find(u"%")) << t.templateId;
}

TEST(Codegen, OptionsRenderers) {
  struct Row {
    OptionsRenderer renderer;
    int flags;
    const char16_t* out;
  };
  static const Row rows[] = {
      {RENDER_TARNO, 0, u""},
      {RENDER_TARNO, IGNORECASE | GLOBAL, u", IGNORECASE | GLOBAL"},
      {RENDER_TARNO, 0x3F, u", IGNORECASE | GLOBAL | SINGLELINE | MULTILINE | RIGHTTOLEFT | EXTENDED"},
      {RENDER_GRETA, 0, u"NORMALIZE"},
      {RENDER_GRETA, IGNORECASE | GLOBAL, u"NORMALIZE | NOCASE | GLOBAL"},
      {RENDER_GRETA, RIGHTTOLEFT, u"NORMALIZE | RIGHTMOST"},
      {RENDER_REGEXP, IGNORECASE | GLOBAL, u"regex.IgnoreCase = True\nregex.Global     = True\n"},
      {RENDER_REGEXP, SINGLELINE | MULTILINE, u"regex.Multiline  = True\n"},
      {RENDER_JAVA, IGNORECASE, u", Pattern.CASE_INSENSITIVE"},
      {RENDER_JAVA, GLOBAL | RIGHTTOLEFT, u""},
      {RENDER_JAVA, 0x3F, u", Pattern.CASE_INSENSITIVE | Pattern.DOTALL | Pattern.MULTILINE | Pattern.COMMENTS"},
  };
  for (const Row& r : rows) EXPECT_EQ(std::u16string(r.out), RenderOptions(r.renderer, r.flags)) << r.flags;
}

TEST(Codegen, PatternRewrites) {
  struct Row {
    const char* name;
    bool dots;  // else comments
    int flags;
    const char16_t* in;
    const char16_t* out;
  };
  static const Row rows[] = {
      {"dot", true, SINGLELINE, u"a.b", u"a(?:.|\\n)b"},
      {"dot in set and escaped", true, SINGLELINE, u"[.]\\..", u"[.]\\.(?:.|\\n)"},
      {"dot in quoted span", true, SINGLELINE, u"\\Q.\\E.", u"\\Q.\\E(?:.|\\n)"},
      {"dot in comment group", true, SINGLELINE, u"(?#.).", u"(?#.)(?:.|\\n)"},
      {"dot in line comment, extended", true, SINGLELINE | EXTENDED, u".#.\n.", u"(?:.|\\n)#.\n(?:.|\\n)"},
      {"comment group", false, 0, u"a(?#note)b", u"ab"},
      {"unclosed comment group", false, 0, u"a(?#note", u"a"},
      {"comment in quoted span", false, 0, u"\\Q(?#x)\\E", u"\\Q(?#x)\\E"},
      {"escaped paren is no comment", false, 0, u"\\(?#x)", u"\\(?#x)"},
      {"extended spaces and line comments", false, EXTENDED, u"a b # c\nd", u"abd"},
      {"extended keeps quoted spaces", false, EXTENDED, u"\\Q a \\E b", u"\\Q a \\Eb"},
      {"extended keeps an escaped hash", false, EXTENDED, u"a\\# b", u"a\\#b"},
      // Read as the compiler reads them: a comment's text may look like a quote or a class.
      {"comment holding \\Q", false, 0, u"(?#\\Q)a.", u"a."},
      {"comment holding [", false, 0, u"(?#[)a", u"a"},
      {"dot after a class with an escaped bracket", true, SINGLELINE, u"[\\].]", u"[\\].]"},
      {"dot in a comment holding \\Q", true, SINGLELINE, u"(?#\\Q).", u"(?#\\Q)(?:.|\\n)"},
      {"dot where a modifier clears the option", true, SINGLELINE, u"(?-s:.).(?-s).", u"(?-s:.)(?:.|\\n)(?-s)."},
      {"dot in a group name", true, SINGLELINE, u"(?<a.b>x)", u"(?<a.b>x)"},
      // What stood on either side of a comment reads as it did.
      {"back-reference then digit", false, 0, u"(a)\\1(?#x)2", u"(a)(?:\\1)2"},
      {"hexadecimal escape then digit", false, 0, u"\\x4(?#x)1", u"(?:\\x4)1"},
      {"letter x then brace", false, 0, u"\\x(?#x){2}", u"(?:\\x){2}"},
      {"\\k then name", false, EXTENDED, u"\\k <n>", u"(?:\\k)<n>"},
      {"group then question mark", false, 0, u"((?#c)?a)", u"(\\?a)"},
      {"group then question mark, extended", false, EXTENDED, u"( ?a)", u"(\\?a)"},
      {"form feed and vertical tab, extended", false, EXTENDED, u"a\fb\vc", u"abc"},
      {"after a stray parenthesis nothing is read", false, EXTENDED, u"a )b c", u"a)b c"},
  };
  for (const Row& r : rows) {
    std::u16string got = r.dots ? RewriteSingleLineDots(r.in, r.flags) : RemovePatternComments(r.in, r.flags);
    EXPECT_EQ(std::u16string(r.out), got) << r.name;
  }
}

TEST(Codegen, VisualBasicRowsRewriteThePattern) {
  std::u16string code = Generate(IDS_LIB_REGEXP_OBJECT, IDS_OP_DECLARE, u"a.b[.]\\.(?#c)", u"", u"", SINGLELINE);
  EXPECT_EQ(u"Dim str\nstr = \"a(?:.|\\n)b[.]\\.\"", code);
  // The C++ rows are single-line and comments capable: the pattern stays as written.
  code = Generate(IDS_LIB_TARNO, IDS_OP_DECLARE, u"a.b(?#c)", u"", u"", SINGLELINE);
  EXPECT_EQ(u"const char * str = \"a.b(?#c)\";", code);
  code = Generate(IDS_LIB_TARNO, IDS_OP_MATCH_EXACT, u"ab", u"x", u"", 0);
  EXPECT_NE(std::u16string::npos, code.find(u"CRegexpT <char> re(\"ab\");"));
  code = Generate(IDS_LIB_GRETA, IDS_OP_FIND, u"ab", u"x", u"", 0);
  EXPECT_NE(std::u16string::npos, code.find(u"rpattern pat(\"ab\", NORMALIZE);"));
  code = Generate(IDS_LIB_REGEXP_OBJECT, IDS_OP_REPLACE, u"a\"b", u"t", u"$1", IGNORECASE);
  EXPECT_NE(std::u16string::npos, code.find(u"regex.Pattern    = \"a\"\"b\"\nregex.IgnoreCase = True\n\n"));
  EXPECT_NE(std::u16string::npos, code.find(u"regex.Replace(\"t\", \"$1\")"));
}

// Placeholders are filled in one pass over the template: a text put in is never searched for
// placeholders again, and a template's own '%' signs stay.
TEST(Codegen, PlaceholdersFilledOnce) {
  struct Row {
    const char* name;
    const char16_t* pattern;
    const char16_t* text;
    const char16_t* replaceTo;
    const char16_t* out;
  };
  static const Row rows[] = {
      {"plain", u"ab", u"x", u"y", u"\"ab\"/\"x\"/\"y\"/, IGNORECASE%"},
      {"pattern holds %text%", u"100%text%", u"x100%text%y", u"", u"\"100%text%\"/\"x100%text%y\"/\"\"/, IGNORECASE%"},
      {"replace-to holds %flags%", u"a", u"b", u"%flags%", u"\"a\"/\"b\"/\"%flags%\"/, IGNORECASE%"},
      {"every placeholder in every text", u"%regex%%flags%", u"%replaceto%", u"%text%",
       u"\"%regex%%flags%\"/\"%replaceto%\"/\"%text%\"/, IGNORECASE%"},
      {"percent signs", u"%", u"%%", u"%x%", u"\"%\"/\"%%\"/\"%x%\"/, IGNORECASE%"},
  };
  const CodeTemplateRow& row = RowOf(IDS_LIB_TARNO, IDS_OP_DECLARE);
  for (const Row& r : rows)
    EXPECT_EQ(std::u16string(r.out), GenerateCode(row, u"%regex%/%text%/%replaceto%/%flags%%", r.pattern, r.text,
                                                  r.replaceTo, IGNORECASE))
        << r.name;
}

TEST(Codegen, Colouring) {
  std::u16string code = u"int x = 42; // note\nchar* s = \"str\";";
  std::vector<ColourSpan> spans = ColourCode(LANG_CPP, code);
  std::string got;
  for (const ColourSpan& s : spans)
    got += std::to_string(s.colour) + ":" + Narrow(code.substr(s.start, s.length)) + ";";
  EXPECT_EQ("0:int;4:42;3:// note;0:char;2:\"str\";", got);
  code = u"String s = \"a\"; // c";
  got.clear();
  for (const ColourSpan& s : ColourCode(LANG_JAVA, code))
    got += std::to_string(s.colour) + ":" + Narrow(code.substr(s.start, s.length)) + ";";
  EXPECT_EQ("1:String;2:\"a\";3:// c;", got);
  code = u"DIM x\nx = \"q\" ' rem\nRem all";
  got.clear();
  for (const ColourSpan& s : ColourCode(LANG_VB, code))
    got += std::to_string(s.colour) + ":" + Narrow(code.substr(s.start, s.length)) + ";";
  EXPECT_EQ("0:DIM;2:\"q\";3:' rem;3:Rem all;", got);
  EXPECT_EQ(0x0000FFu, ColourRgb(COLOUR_KEY));
  EXPECT_EQ(0xFF8000u, ColourRgb(COLOUR_REGEXP));
}

TEST(Codegen, SaveFormatLines) {
  EXPECT_EQ(u"a\r\nb\r\nc\r\n\r\nd", ToCrLfLines(u"a\nb\rc\n\n\rd"));
  EXPECT_EQ(u"x\r\n", ToCrLfLines(u"x\r\n"));
}

// ---- compiled and run ------------------------------------------------------------------------

std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  FILE* f = popen(command.c_str(), "r");
  if (!f) {
    *status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  *status = pclose(f);
  return out;
}

bool Have(const std::string& tool) { return std::system((tool + " -version >/dev/null 2>&1").c_str()) == 0 ||
                                            std::system((tool + " --version >/dev/null 2>&1").c_str()) == 0; }

// Generated code split into its include or import lines and the statements.
void SplitHead(const std::string& code, std::string* head, std::string* body) {
  std::istringstream in(code);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("#include", 0) == 0 || line.rfind("import ", 0) == 0)
      *head += line + "\n";
    else
      *body += line + "\n";
  }
}

std::string InsertBefore(const std::string& code, const std::string& marker, const std::string& what) {
  size_t p = code.find(marker);
  if (p == std::string::npos) return code + what;
  return code.substr(0, p) + what + code.substr(p);
}

std::u16string OneLineBreakEach(const std::u16string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'\r' || s[i] == u'\n') {
      if (i + 1 < s.size() && (s[i + 1] == u'\r' || s[i + 1] == u'\n') && s[i + 1] != s[i]) ++i;
      out += u'\n';
    } else {
      out += s[i];
    }
  }
  return out;
}

struct RunCase {
  const char* pattern;
  const char* text;
  const char* replaceTo;
  int flags;
};

TEST(Codegen, TarnoRowsCompileAndAgreeWithTheEngine) {
  if (!Have(FENNIC_TEST_CXX)) GTEST_SKIP() << "no C++ compiler at " << FENNIC_TEST_CXX;
  static const RunCase cases[] = {
      {"(\\w+)@(\\w+)", "mail: Bob@Example and x@y", "$2@$1", 0},
      {"colou?r", "COLOR colour", "[$0]", IGNORECASE},
      {"^\\d+$", "12\r\n345\nx", "#", MULTILINE},
      {"a.b", "a\nb a-b", "<$&>", SINGLELINE},
      {"\"q\\\\'??=", "x\"q\\'??=y", "!", 0},
      {"b+", "abbbcb", "-", RIGHTTOLEFT},
      {"a b # comment", "ab", "z", EXTENDED | GLOBAL},
      {"xyz", "abc", "", 0},
      // Texts that hold placeholders come out as written.
      {"100%text%", "x100%text%y", "%flags%", 0},
      {"%regex%|%replaceto%", "a%replaceto%b", "[%text%]", 0},
      // The engine reads comment groups: its samples keep them.
      {"(?#note)abc", "xabcx", "<$0>", 0},
  };
  std::string head, body, expected;
  int index = 0;
  for (const RunCase& c : cases) {
    std::u16string p = Widen(c.pattern), t = Widen(c.text), r = Widen(c.replaceTo);
    // What the generated program sees: its literals hold every line break as \n.
    std::string tn = Narrow(OneLineBreakEach(t)), rn = Narrow(OneLineBreakEach(r));
    CRegexpT<char> re(c.pattern, c.flags);
    std::string tag = std::to_string(index++);
    for (int op : {IDS_OP_DECLARE, IDS_OP_MATCH_EXACT, IDS_OP_FIND, IDS_OP_REPLACE}) {
      std::string h, code = Narrow(Generate(IDS_LIB_TARNO, op, p, t, r, c.flags)), b;
      if (op == IDS_OP_DECLARE) {
        code += "\nstd::printf(\"D" + tag + ":%s\\n\", str);\n";
        expected += "D" + tag + ":" + c.pattern + "\n";
      } else if (op == IDS_OP_MATCH_EXACT) {
        code += "\nstd::printf(\"E" + tag + ":%d\\n\", (int)yesorno);\n";
        expected += "E" + tag + ":" + std::to_string(re.MatchExact(tn.c_str()).IsMatched() ? 1 : 0) + "\n";
      } else if (op == IDS_OP_FIND) {
        code += "\nstd::printf(\"F" + tag + ":%d %d %d\\n\", result.IsMatched(), result.GetStart(), result.GetEnd());\n";
        MatchResult m = re.Match(tn.c_str());
        expected += "F" + tag + ":" + std::to_string(m.IsMatched()) + " " + std::to_string(m.GetStart()) + " " +
                    std::to_string(m.GetEnd()) + "\n";
      } else {
        code = InsertBefore(code, "re.ReleaseString(newstring);",
                            "std::printf(\"R" + tag + ":%s\\n\", newstring);\n");
        char* s = re.Replace(tn.c_str(), rn.c_str());
        expected += "R" + tag + ":" + std::string(s) + "\n";
        re.ReleaseString(s);
      }
      SplitHead(code, &h, &b);
      if (head.find(h) == std::string::npos) head += h;
      body += "{\n" + b + "}\n";
    }
  }
  std::string dir = testing::TempDir();
  std::string src = dir + "fennic_tarno_code.cpp", exe = dir + "fennic_tarno_code";
  {
    std::ofstream f(src);
    f << head << "#include <cstdio>\nint main() {\n" << body << "}\n";
  }
  std::string cmd = std::string(FENNIC_TEST_CXX) + " -std=c++17 -w -I" FENNIC_TEST_ENGINE_DIR " -o " + exe + " " +
                    src + " 2>&1";
  int status = 0;
  std::string log = RunCommand(cmd, &status);
  ASSERT_EQ(0, status) << cmd << "\n" << log;
  std::string out = RunCommand(exe, &status);
  EXPECT_EQ(0, status);
  EXPECT_EQ(expected, out);
}

TEST(Codegen, JavaRowsCompileAndAgreeWithTheEngine) {
  // scripts/setup installs the JDK: without it these rows would pass unseen, so its absence fails.
  ASSERT_TRUE(Have("javac") && Have("java")) << "javac or java not installed (scripts/setup installs openjdk-17-jdk-headless)";
  // Patterns on which java.util.regex and the engine agree.
  static const RunCase cases[] = {
      {"(\\w+)@(\\w+)", "mail: Bob@Example and x@y", "$2@$1", 0},
      {"colou?r", "COLOR colour", "[$0]", IGNORECASE},
      {"^\\d+$", "12\n345\nx", "#", MULTILINE},
      {"a.b", "a\nb a-b", "<$0>", SINGLELINE},
      {"[,;]\\s*", "a, b;c ;d", "|", 0},
      {"\"q\\\\'", "x\"q\\'y", "!", 0},
      // Texts that hold placeholders come out as written.
      {"100%text%", "x100%text%y", "%flags%", 0},
      {"%regex%|%replaceto%", "a%replaceto%b", "[%text%]", 0},
      // java.util.regex has no comment groups: the samples leave them out (and, extended, the
      // white space and line comments too, which its split call, without options, would read).
      {"(?#note)abc", "xabcx", "<$0>", 0},
      {"a(?#x)b|(?#y)c", "abc", "-", IGNORECASE},
      {"(?#note)a b # c\nd", "xabd ab d", "-", EXTENDED},
  };
  std::string head = "import java.util.regex.*;\n", body, expected;
  int index = 0;
  for (const RunCase& c : cases) {
    std::u16string p = Widen(c.pattern), t = Widen(c.text), r = Widen(c.replaceTo);
    CRegexpT<char> re(c.pattern, c.flags);
    std::string tag = std::to_string(index++);
    for (int op : {IDS_OP_DECLARE, IDS_OP_MATCH_EXACT, IDS_OP_FIND, IDS_OP_REPLACE, IDS_OP_SPLIT}) {
      std::string h, b, code = Narrow(Generate(IDS_LIB_JAVA_UTIL_REGEX, op, p, t, r, c.flags));
      if (op == IDS_OP_DECLARE) {
        code += "\nSystem.out.println(\"D" + tag + ":\" + str);\n";
        expected += "D" + tag + ":" + Narrow(RemovePatternComments(p, c.flags)) + "\n";
      } else if (op == IDS_OP_MATCH_EXACT) {
        code += "\nSystem.out.println(\"E" + tag + ":\" + (yesorno ? 1 : 0));\n";
        expected += "E" + tag + ":" + std::to_string(re.MatchExact(c.text).IsMatched() ? 1 : 0) + "\n";
      } else if (op == IDS_OP_FIND) {
        code += "\nSystem.out.println(\"F" + tag + ":\" + (found ? m.start() + \" \" + m.end() : \"-\"));\n";
        MatchResult m = re.Match(c.text);
        expected += "F" + tag + ":" +
                    (m.IsMatched() ? std::to_string(m.GetStart()) + " " + std::to_string(m.GetEnd()) : "-") + "\n";
      } else if (op == IDS_OP_REPLACE) {
        code += "\nSystem.out.println(\"R" + tag + ":\" + newstring);\n";
        char* s = re.Replace(c.text, c.replaceTo);
        expected += "R" + tag + ":" + std::string(s) + "\n";
        re.ReleaseString(s);
      } else {
        code += "\nSystem.out.println(\"S" + tag + ":\" + String.join(\"/\", strs));\n";
        // String.split drops trailing empty pieces.
        std::vector<std::string> pieces;
        // The split template passes no options; the extended reading is already written out.
        CRegexpT<char> plain(c.pattern, c.flags & EXTENDED);
        for (const auto& piece : plain.Split(c.text, static_cast<int>(std::strlen(c.text))))
          pieces.push_back(std::string(c.text + piece.first, c.text + piece.second));
        while (!pieces.empty() && pieces.back().empty()) pieces.pop_back();
        std::string joined;
        for (size_t i = 0; i < pieces.size(); ++i) joined += (i ? "/" : "") + pieces[i];
        expected += "S" + tag + ":" + joined + "\n";
      }
      SplitHead(code, &h, &b);
      body += "{\n" + b + "}\n";
    }
  }
  std::string dir = testing::TempDir() + "fennic_java_code/";
  std::system(("mkdir -p " + dir).c_str());
  {
    std::ofstream f(dir + "Main.java");
    f << head << "public class Main {\npublic static void main(String[] args) {\n" << body << "}\n}\n";
  }
  int status = 0;
  std::string log = RunCommand("cd " + dir + " && javac Main.java 2>&1", &status);
  ASSERT_EQ(0, status) << log;
  std::string out = RunCommand("cd " + dir + " && java -cp . Main", &status);
  EXPECT_EQ(0, status);
  EXPECT_EQ(expected, out);
}

}  // namespace
}  // namespace fennic
