// The document's classic-backtracking option: the command, the matches it finds, and its place
// in the workspace file (old files without it still load).
#include <gtest/gtest.h>

#include "app/document/core/tests/headless_ui.h"
#include "app/document/files/workspace_file.h"
#include "stringtable.h"

namespace {

class ClassicOptionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
  void SetUp() override {
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
    if (doc->QueryCommand(CMD_LOCATE_FAIL_POINT).checked) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
  }
  void Set(const std::string& pattern, const std::string& subject) {
    std::vector<unsigned short> p = U16(pattern), s = U16(subject);
    doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
    doc->SetSubjectText(s.data(), static_cast<int>(s.size()));
  }
  std::string AllMatches() {
    doc->OnCommand(CMD_FIND_ALL);
    std::string out;
    for (int i = 0; i < doc->GetResultCount(); ++i) {
      const StoredMatch& m = doc->GetResult(i)->result;
      if (m.GetStart() < 0) continue;
      out += std::to_string(m.GetStart()) + "-" + std::to_string(m.GetEnd()) + " ";
    }
    return out;
  }

  HeadlessUi ui;
  std::unique_ptr<CKorvaneDoc> doc;
};

TEST_F(ClassicOptionTest, CommandTogglesAndMatchesStayTheSame) {
  EXPECT_FALSE(doc->IsClassic());
  EXPECT_FALSE(doc->QueryCommand(CMD_CLASSIC).checked);
  const struct {
    const char* pattern;
    const char* subject;
  } rows[] = {
      {"(a|aa)*c", "aaaaaaaaaaaaaaaaaac aaaaaaaaaaa b aac"},
      {"(\\w+\\s?)*;", "word word; word word"},
      {"(a+)+b", "aaaaaaaaaaaaaab aaaaaaaaaa"},
  };
  for (const auto& r : rows) {
    Set(r.pattern, r.subject);
    if (doc->IsClassic()) doc->OnCommand(CMD_CLASSIC);
    std::string plain = AllMatches();
    doc->OnCommand(CMD_CLASSIC);
    EXPECT_TRUE(doc->IsClassic());
    EXPECT_TRUE(doc->QueryCommand(CMD_CLASSIC).checked);
    EXPECT_TRUE(doc->GetMatchContext().m_bClassic);
    EXPECT_EQ(plain, AllMatches()) << r.pattern;
    EXPECT_FALSE(plain.empty()) << r.pattern;
  }
}

TEST_F(ClassicOptionTest, SavedInTheWorkspaceAndOffAfterNew) {
  Set("(a|aa)*c", "aaac");
  doc->SetClassic(true);
  EXPECT_TRUE(doc->IsModified());
  const std::string on = doc->WorkspaceBytes();
  doc->SetClassic(false);
  const std::string off = doc->WorkspaceBytes();
  ASSERT_EQ(on.size(), off.size());
  EXPECT_NE(on, off);

  CKorvaneDoc other(&ui);
  ASSERT_TRUE(other.LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(on.data()), on.size()));
  EXPECT_TRUE(other.IsClassic());
  EXPECT_TRUE(other.GetMatchContext().m_bClassic);
  // A file written before the option existed ends after the tests: it loads, option off.
  const std::string old = on.substr(0, on.size() - 4);
  ASSERT_TRUE(other.LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(old.data()), old.size()));
  EXPECT_FALSE(other.IsClassic());
  EXPECT_FALSE(other.GetMatchContext().m_bClassic);

  ASSERT_TRUE(other.LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(on.data()), on.size()));
  other.OnNewDocument();
  EXPECT_FALSE(other.IsClassic());
  EXPECT_FALSE(other.GetMatchContext().m_bClassic);
}

TEST(ClassicWorkspaceFile, OptionWordRoundTripsAndUnknownBitsAreDropped) {
  CSnapshotTree tree;
  WorkspaceData data;
  data.classic = true;
  std::string bytes = CWorkspaceFile::Write(data, tree);
  WorkspaceData back;
  ASSERT_EQ(EWorkspaceError::None,
            CWorkspaceFile::Read(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &back));
  EXPECT_TRUE(back.classic);
  // Bits this version does not know are ignored; only bit 1 is classic.
  bytes[bytes.size() - 4] = static_cast<char>(0xFE);
  ASSERT_EQ(EWorkspaceError::None,
            CWorkspaceFile::Read(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &back));
  EXPECT_FALSE(back.classic);
  // A reused record is reset by a file without the word.
  back.classic = true;
  ASSERT_EQ(EWorkspaceError::None,
            CWorkspaceFile::Read(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size() - 4, &back));
  EXPECT_FALSE(back.classic);
  // Two or three stray bytes after the tests are ignored, as before.
  ASSERT_EQ(EWorkspaceError::None,
            CWorkspaceFile::Read(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size() - 1, &back));
  EXPECT_FALSE(back.classic);
}

}  // namespace
