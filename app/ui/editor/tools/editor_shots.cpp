// Takes pictures of the pattern box, the structure tree and the group list for a pattern that
// uses every element kind (for the documentation; run under a real display or Xvfb):
//   xvfb-run -a -s "-screen 0 1280x800x24" editor_shots OUTPUT_FOLDER
// Writes pattern_box.png, structure_tree.png, group_list.png, editor_views.png and
// pattern_tail.png.
#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <thread>

#include "app/document/core/korvane_doc.h"
#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/editor/regex_group_list_view.h"
#include "app/ui/editor/regex_tree_view.h"
#include "stringtable.h"

namespace {

// Runs the wait dialog's protocol without a window (the searches here are short).
class ShotUi : public IDocumentUi {
 public:
  int MessageBox(const QString&, const QString&, int, int) override { return ANSWER_OK; }
  void RunWaitDialog(CKorvaneDoc* d) override {
    if (!d->WaitDialogOpening()) {
      d->WaitDialogClosed();
      return;
    }
    while (!m_close) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    m_close = false;
    d->WaitDialogClosed();
  }
  void CloseWaitDialog() override { m_close = true; }
  void PumpEvents() override {}
  void PostCommand(int) override {}
  void ShowElapsedTime(double) override {}
  void ShowResultPosition(int, int) override {}
  void SaveModeLayout(int) override {}
  void LoadModeLayout(int) override {}
  bool AskName(QString&) override { return false; }

 private:
  std::atomic<bool> m_close{false};
};

std::vector<unsigned short> U16(const QString& s) {
  const unsigned short* p = reinterpret_cast<const unsigned short*>(s.utf16());
  return std::vector<unsigned short>(p, p + s.size());
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  CStringTable::SetCurrent(CStringTable::kEnglish);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(out);

  ShotUi ui;
  CKorvaneDoc doc(&ui);
  doc.OnCommand(CMD_LOCATE_FAIL_POINT);
  doc.OnCommand(CMD_GLOBAL);  // \G is the end of the last match only in global mode

  QWidget window;
  window.setWindowTitle(QStringLiteral("Korvane editor views"));
  auto* split = new QSplitter(Qt::Horizontal, &window);
  auto* left = new QSplitter(Qt::Vertical, split);
  auto* edit = new CRegexEditView(&doc, left);
  auto* groups = new CRegexGroupListView(&doc, left);
  auto* tree = new CRegexTreeView(&doc, split);
  auto* layout = new QHBoxLayout(&window);
  layout->addWidget(split);
  window.resize(1180, 760);
  split->setSizes({700, 480});
  left->setSizes({300, 460});

  // Every element kind: alternation, look-around, back-reference, boundary, recursion, empty,
  // end of last match, all four repeats, independent group, list, POSIX and character classes,
  // literal text, conditional, non-capture, capture, named and balancing groups, mode modifier,
  // an inline comment, quoting, an error and the tail the compiler did not take in.
  const QString pattern = QStringLiteral(
      "(?i)\\G(?<word>[a-z]+)\\s+(\\d{2,4})?+(?:x|y|)\\b(?=\\s)(?<!q)\\s(?>ab)c*?[[:digit:]]+"
      "(?(2)\\2|z)(?<-word>k)(a(?1)?b)?(?#a comment)\\Q*.*\\E$|[unclosed");
  std::vector<unsigned short> p = U16(pattern);
  doc.SetPattern(p.data(), static_cast<int>(p.size()), false);
  std::vector<unsigned short> s = U16(QStringLiteral("Hello 2024x abc77zkab*.*"));
  doc.SetSubjectText(s.data(), static_cast<int>(s.size()));
  doc.Notify(nullptr, ~0);
  doc.OnCommand(CMD_FIND);
  // The second capture group as the current element: yellow in the box, selected in both lists.
  doc.SetCurrentElement(doc.GetCompiled().GetGroupElement(1));
  doc.Notify(nullptr, HINT_CURRENT_ELEMENT | HINT_RECOLOR_PATTERN | HINT_RESULTS);
  tree->expandAll();
  window.show();
  edit->setFocus();

  QTimer::singleShot(600, [&] {
    // Without the focus' selection the yellow background of the current element shows.
    QTextCursor c = edit->textCursor();
    c.clearSelection();
    edit->setTextCursor(c);
    edit->PaintAll();
    tree->scrollToTop();
    QApplication::processEvents();
    edit->grab().save(out + QStringLiteral("/pattern_box.png"));
    tree->grab().save(out + QStringLiteral("/structure_tree.png"));
    groups->grab().save(out + QStringLiteral("/group_list.png"));
    window.grab().save(out + QStringLiteral("/editor_views.png"));
    // A stray closing parenthesis ends what the compiler takes in: the rest is grey and wavy.
    std::vector<unsigned short> t = U16(QStringLiteral("(a|b)+c) not compiled"));
    doc.SetPattern(t.data(), static_cast<int>(t.size()), false);
    doc.Notify(nullptr, HINT_RECOMPILED | HINT_RECOLOR_PATTERN | HINT_PATTERN_REPLACED);
    edit->resize(edit->width(), 60);
    QApplication::processEvents();
    edit->grab().save(out + QStringLiteral("/pattern_tail.png"));
    app.quit();
  });
  return app.exec();
}
