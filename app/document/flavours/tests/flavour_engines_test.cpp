// The flavour session with two real engines, V8 (node) and CPython's re: the cells the user
// should see for patterns where they part ways with Korvane. A flavour whose runtime is missing
// is skipped (GTEST_SKIP), never passed.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include "app/document/flavours/flavour_session.h"
#include "app/flavours/flavour_table.h"
#include "stringtable.h"

namespace {

bool Installed(const char* name) { return FlavourInstalled(QString::fromLatin1(name)); }

struct EngineRow {
  const char* name;
  const char* pattern;
  const char* flags;
  const char* subject;
  const char* js;      // the cell of each flavour
  const char* python;
};

TEST(FlavourEngines, CellsOfNodeAndPython) {
  if (!Installed("js") || !Installed("python")) GTEST_SKIP() << "node or python3 is not installed";
  CStringTable::SetCurrent(CStringTable::kEnglish);
  const EngineRow rows[] = {
      // Python's named group syntax: V8 refuses it; Python numbers the groups in the order they
      // open, Korvane numbers the named one after the unnamed ones.
      {"P-named group", "(?P<year>\\d{4})-(\\d\\d)", "", "2024-05", "error", "differs"},
      // $ before a final newline: Python matches there, V8 and Korvane do not.
      {"dollar before final newline", "(\\d{4})-(\\d\\d)$", "", "2024-05\n", "same", "differs"},
      // Plain text: everybody agrees.
      {"literal", "05", "", "2024-05", "same", "same"},
      // JavaScript has no x flag.
      {"extended", "a b", "x", "ab", "error", "same"},
  };
  CFlavourSession session;
  session.SetChosen({"js", "python"});
  CFlavourSession::Input input;
  session.SetSource([&] { return input; });
  for (const EngineRow& row : rows) {
    SCOPED_TRACE(row.name);
    input.pattern = QString::fromUtf8(row.pattern);
    input.flags = QString::fromLatin1(row.flags);
    input.subjects = QStringList{QString::fromUtf8(row.subject)};
    input.rowNames = QStringList{QStringLiteral("Text box")};
    const int before = session.RequestsMade();
    session.RequestNow();
    ASSERT_EQ(session.RequestsMade(), before + 1);
    QElapsedTimer t;
    t.start();
    while (session.IsBusy() && t.elapsed() < 60000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ASSERT_FALSE(session.IsBusy());
    const CFlavourMatrix& m = session.Matrix();
    ASSERT_EQ(m.Columns(), 2);
    ASSERT_EQ(m.columns[0].flavour, QStringLiteral("js"));
    const FlavourMatrixCell js = m.Cell(0, 0), python = m.Cell(0, 1);
    ASSERT_FALSE(js.waiting);
    ASSERT_FALSE(python.waiting);
    EXPECT_STREQ(CellStatusName(js.cell.status), row.js) << js.cell.message.toStdString();
    EXPECT_STREQ(CellStatusName(python.cell.status), row.python) << python.cell.message.toStdString();
    // The headers say what the runners reported.
    EXPECT_EQ(m.columns[0].engine, QStringLiteral("V8 (Node.js)"));
    EXPECT_EQ(m.columns[1].engine, QStringLiteral("CPython re"));
    EXPECT_FALSE(m.columns[1].version.isEmpty());
  }
}

}  // namespace
