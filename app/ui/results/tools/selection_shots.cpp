// Pictures of every list and tree view of korvane with a selected row, in a light and a dark
// palette, each in three states: the view has the focus; another widget of the same window has
// it; another window is active. Put together into one sheet (rows: views; columns: the six
// palette and focus states), each picture also saved alone, and the contrast of the selected
// row's text against its background printed for each (the measure of tests/row_look.h).
// Run it under Xvfb:
//   xvfb-run -a -s "-screen 0 1280x800x24" <build>/app/ui/results/tools/selection_shots <folder>
// It exits with 1 when a selected row is not readable in some state.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QLineEdit>
#include <QPainter>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "app/document/core/korvane_doc.h"
#include "app/document/core/tests/headless_ui.h"
#include "app/ui/editor/regex_group_list_view.h"
#include "app/ui/editor/regex_tree_view.h"
#include "app/ui/panes/clips/clip_list_view.h"
#include "app/ui/panes/snapshots/snapshot_tree_view.h"
#include "app/ui/results/split_result_list_view.h"
#include "app/ui/results/tests/row_look.h"
#include "app/ui/panes/history/trace_stack_list_view.h"
#include "platform/shared_counter.h"
#include "stringtable.h"

namespace {

std::vector<unsigned short> U16(const QString& s) { return std::vector<unsigned short>(s.utf16(), s.utf16() + s.size()); }

void Settle(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Waits (at most 3 s) until `done` holds.
void WaitFor(const std::function<bool()>& done) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < 3000) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Every hint the views know, but the clips one (that would write the clips file again).
constexpr int kEveryHint = kInitialUpdateHint & ~(HINT_TESTS | HINT_TEST_RESULTS | HINT_CLIPS);
static_assert(kEveryHint == (0x5F9FFF & ~HINT_CLIPS));

void SetTexts(CKorvaneDoc* doc, const QString& pattern, const QString& text) {
  std::vector<unsigned short> p = U16(pattern), t = U16(text);
  doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
  doc->SetSubjectText(t.data(), static_cast<int>(t.size()));
  doc->Notify(nullptr, ~0);
}

struct Shot {
  QString name;
  QAbstractItemView* view;
  std::function<void()> select;       // selects a row
  std::function<QModelIndex()> look;  // the row to look at; the selected one when empty
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  CStringTable::SetCurrent(CStringTable::kEnglish);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(out);

  // The clips file lives in a temporary folder with a counter of its own.
  QTemporaryDir dir;
  CSharedCounter counter;
  const QString counterName = QStringLiteral("korvane-selection-shots-%1").arg(QCoreApplication::applicationPid());
  counter.Open(counterName);
  CTextClips::SetDefaultLocation(dir.filePath(QStringLiteral("shots.clips")), &counter);
  bool allReadable = true;
  {

  // One document in Optimize mode after Find All (split rows, group captures, heat colours in
  // the structure tree), one paused in Trace mode (the Stack list).
  HeadlessUi ui, traceUi;
  CKorvaneDoc doc(&ui), traceDoc(&traceUi);
  ui.doc = &doc;
  traceUi.doc = &traceDoc;
  for (CKorvaneDoc* d : {&doc, &traceDoc})
    if (d->IsLocateFailPoint()) d->OnCommand(CMD_LOCATE_FAIL_POINT);
  doc.OnCommand(CMD_MODE_OPTIMIZE);
  SetTexts(&doc, QStringLiteral("(\\w+)(?<sep>,)"), QStringLiteral("alpha,beta,gamma,delta,epsilon"));
  doc.GetClips().AddClip(U16(QStringLiteral("[0-9]+(\\.[0-9]+)?")), U16(QStringLiteral("Decimal number")));
  doc.GetClips().AddClip(U16(QStringLiteral("\\b\\w+@\\w+\\.com\\b")), {});
  doc.GetClips().AddClip(U16(QStringLiteral("^\\s*$")), {});
  doc.AddSnapshot(U16(QStringLiteral("first try")));
  doc.AddSnapshot({});
  traceDoc.OnCommand(CMD_MODE_TRACE);
  SetTexts(&traceDoc, QStringLiteral("(\\d+)-(\\d+)"), QStringLiteral("call 555-0123 now"));

  QWidget window;
  window.setWindowTitle(QStringLiteral("selection shots"));
  auto* grid = new QGridLayout(&window);
  auto* split = new CSplitResultListView(&doc);
  auto* clips = new CClipListView(&doc);
  auto* snapshots = new CSnapshotTreeView(&doc);
  auto* groups = new CRegexGroupListView(&doc);
  auto* tree = new CRegexTreeView(&doc);
  auto* stack = new CTraceStackListView(&traceDoc);
  auto* elsewhere = new QLineEdit;  // takes the focus away from the views
  const QList<QAbstractItemView*> views = {split, clips, snapshots, groups, tree, stack};
  for (int i = 0; i < views.size(); ++i) {
    views[i]->setFixedSize(300, 170);
    grid->addWidget(views[i], i / 3, i % 3);
  }
  grid->addWidget(elsewhere, 2, 0, 1, 3);
  groups->OnInitialUpdate();
  tree->OnInitialUpdate();
  window.show();
  QWidget other;  // activated for the "other window" state
  other.resize(200, 100);
  other.move(900, 600);

  doc.OnCommand(CMD_FIND_ALL);
  for (int i = 0; i < 8; ++i) traceDoc.OnCommand(CMD_STEP_MATCH);
  tree->expandAll();
  Settle(300);

  // The first capture group ran more than once: it carries a heat colour.
  auto heatItem = [&] {
    QTreeWidgetItem* item = tree->FindNode(doc.GetCompiled().GetGroupElement(1));
    return item ? item : tree->topLevelItem(0);
  };
  const QList<Shot> shots = {
      {QStringLiteral("split result list"), split, [&] { split->setCurrentIndex(split->model()->index(1, 0)); }, {}},
      {QStringLiteral("text clip list, unnamed clip"), clips, [&] { clips->SelectClip(1); }, {}},
      {QStringLiteral("text clip list, named clip"), clips, [&] { clips->SelectClip(0); }, {}},
      {QStringLiteral("text clip list, named clip not selected"), clips, [&] { clips->SelectClip(1); },
       [&] { return clips->model()->index(0, 0); }},
      {QStringLiteral("snapshot tree"), snapshots, [&] { snapshots->setCurrentItem(snapshots->topLevelItem(0)); }, {}},
      {QStringLiteral("group list"), groups, [&] { groups->setCurrentItem(groups->topLevelItem(1)); }, {}},
      {QStringLiteral("structure tree, heat colour"), tree, [&] { tree->setCurrentItem(heatItem()); }, {}},
      {QStringLiteral("structure tree, heat colour not selected"), tree,
       [&] { tree->setCurrentItem(tree->topLevelItem(0)); }, [&] { return tree->indexFromItem(heatItem()); }},
      {QStringLiteral("trace stack list"), stack, [&] { stack->setCurrentIndex(stack->model()->index(0, 0)); }, {}},
  };
  struct Look {
    QString name;
    QPalette palette;
  };
  const QList<Look> looks = {{QStringLiteral("light"), QApplication::style()->standardPalette()},
                             {QStringLiteral("dark"), row_look::DarkPalette()}};
  const QStringList states = {QStringLiteral("focused"), QStringLiteral("focus elsewhere"), QStringLiteral("other window active")};

  const QSize cell(300, 170);
  const int labelWidth = 200, headerHeight = 24, gap = 6;
  QImage sheet(labelWidth + (cell.width() + gap) * looks.size() * states.size(),
               headerHeight + (cell.height() + gap) * shots.size(), QImage::Format_RGB32);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  for (int l = 0; l < looks.size(); ++l) {
    QApplication::setPalette(looks[l].palette);
    // Everything is built again under the new palette, as at a start with it.
    doc.Notify(nullptr, kEveryHint);
    traceDoc.Notify(nullptr, HINT_RESULTS);
    tree->expandAll();
    Settle(100);
    for (int s = 0; s < shots.size(); ++s) {
      const Shot& shot = shots[s];
      shot.select();
      for (int st = 0; st < states.size(); ++st) {
        if (st == 0 || st == 1) {
          window.activateWindow();
          window.raise();
          WaitFor([&] { return window.isActiveWindow(); });
          QWidget* focus = st == 0 ? static_cast<QWidget*>(shot.view) : elsewhere;
          focus->setFocus(Qt::OtherFocusReason);
          WaitFor([&] { return focus->hasFocus(); });
        } else {
          other.show();
          other.activateWindow();
          other.raise();
          WaitFor([&] { return other.isActiveWindow(); });
        }
        Settle(80);
        const QModelIndex index = shot.look ? shot.look() : shot.view->currentIndex();
        const row_look::RowLook look = row_look::MeasureRow(shot.view, index);
        const bool readable = look.Readable();
        allReadable = allReadable && readable;
        std::printf("%-5s %-20s %-30s contrast %5.2f (%4d readable pixels) on #%06x %s\n", qPrintable(looks[l].name),
                    qPrintable(states[st]), qPrintable(shot.name), look.best, look.readable,
                    look.background & 0xFFFFFF, readable ? "ok" : "NOT READABLE");
        const QPixmap picture = shot.view->grab();
        const QString file = QStringLiteral("%1-%2-%3.png").arg(looks[l].name).arg(s).arg(st);
        picture.save(QDir(out).filePath(file));
        const int column = l * states.size() + st;
        const QPoint at(labelWidth + column * (cell.width() + gap), headerHeight + s * (cell.height() + gap));
        painter.drawPixmap(at, picture);
        if (!readable) {
          painter.setPen(QPen(Qt::red, 3));
          painter.drawRect(QRect(at, cell).adjusted(1, 1, -2, -2));
        }
        if (s == 0) {
          painter.setPen(Qt::black);
          painter.drawText(QRect(at.x(), 0, cell.width(), headerHeight), Qt::AlignCenter,
                           looks[l].name + QStringLiteral(", ") + states[st]);
        }
      }
      if (l == 0) {
        painter.setPen(Qt::black);
        painter.drawText(QRect(4, headerHeight + s * (cell.height() + gap), labelWidth - 8, cell.height()),
                         Qt::AlignVCenter | Qt::TextWordWrap, shot.name);
      }
    }
    other.hide();
  }
  painter.end();
  const QString sheetPath = QDir(out).filePath(QStringLiteral("selection_sheet.png"));
  std::printf("%s %s\n", sheet.save(sheetPath) ? "wrote" : "failed to write", qPrintable(sheetPath));

  traceDoc.OnCommand(CMD_RESET_FIND);
  }  // the documents save their clips here, while the location still exists
  CTextClips::SetDefaultLocation(QString(), nullptr);
  counter.Close();
  CSharedCounter::RemoveShared(counterName);
  return allReadable ? 0 : 1;
}
