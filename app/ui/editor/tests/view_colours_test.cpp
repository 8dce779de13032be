// The views' colours in a light and a dark palette: text on every heat colour keeps a WCAG
// contrast of 4.5:1 in the pattern box and in the structure tree, a light palette draws the fixed
// colours unchanged, the dark variants read on the dark base and under its text, and the pattern
// box redraws in the new colours when the palette changes.
#include <QApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <memory>

#include "app/document/core/korvane_doc.h"
#include "app/ui/editor/clr_tree_ctrl.h"
#include "app/ui/editor/element_display.h"
#include "app/ui/editor/item_look.h"
#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/editor/view_colours.h"
#include "editor_test_util.h"

namespace {

QPalette LightPalette() {
  QPalette p;
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::Window, QColor(239, 239, 239));
  p.setColor(QPalette::Text, Qt::black);
  p.setColor(QPalette::WindowText, Qt::black);
  return p;
}

QPalette PaletteNamed(const QString& name) { return name == QLatin1String("dark") ? StandardDarkPalette() : LightPalette(); }

// Every text colour the pattern box paints elements, comments and the tail with, and
// automatic text.
const QRgb kPatternTexts[] = {
    qRgb(80, 80, 255), qRgb(144, 144, 153), qRgb(255, 0, 255), qRgb(144, 144, 144), qRgb(224, 112, 0),
    qRgb(144, 0, 80),  qRgb(128, 0, 0),     qRgb(0, 0, 0),     qRgb(0, 128, 0),     PatternCharStyle::AUTO,
};

// The fixed backgrounds of the pattern box and the result boxes (matches, current, trace,
// fail point).
const QRgb kBackgrounds[] = {
    qRgb(187, 255, 255), qRgb(255, 255, 0),   qRgb(255, 255, 136), qRgb(136, 255, 136),
    qRgb(204, 204, 204), qRgb(255, 136, 136), qRgb(255, 204, 204), qRgb(255, 216, 176),
};

QColor DrawnText(const QTextCharFormat& f, const QPalette& p) {
  return f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color() : p.color(QPalette::Text);
}

}  // namespace

class ViewColoursTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QApplication::setPalette(LightPalette()); }

  void heatTextContrast_data() {
    QTest::addColumn<QString>("palette");
    QTest::addColumn<int>("k");
    for (const char* name : {"light", "dark"})
      for (int k : {1, 17, 56, 100, 128, 170, 200, 230, 255}) QTest::newRow(qPrintable(QStringLiteral("%1 k=%2").arg(name).arg(k))) << QString::fromLatin1(name) << k;
  }
  // Each heat colour against the text drawn on it: every element colour in the pattern box,
  // the automatic text colour in the structure tree.
  void heatTextContrast() {
    QFETCH(QString, palette);
    QFETCH(int, k);
    const QPalette pal = PaletteNamed(palette);
    const bool dark = palette == QLatin1String("dark");
    for (QRgb text : kPatternTexts) {
      PatternCharStyle s;
      s.text = text;
      s.back = HeatColor(k);
      s.heat = true;
      const QTextCharFormat f = CRegexEditView::FormatFor(s, pal);
      const QColor back = f.background().color();
      if (!dark) QCOMPARE(back.rgb(), HeatColor(k));  // the light heat scale is drawn as it is
      if (dark) QCOMPARE(back.rgb(), HeatColorFor(k, true));
      const double ratio = ContrastRatio(DrawnText(f, pal), back);
      QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("text %1 on %2: %3").arg(QColor(text).name(), back.name()).arg(ratio)));
    }
    CClrTreeCtrl tree;
    tree.setPalette(pal);
    auto* item = new QTreeWidgetItem(&tree);
    const QRgb heat = HeatColorFor(k, dark);
    tree.SetItemColor(item, -1, ClrRgb(qRed(heat), qGreen(heat), qBlue(heat)), false);
    const int text = tree.TextColorOf(*tree.FindColor(item));
    const double ratio = ContrastRatio(QColor((text >> 16) & 0xFF, (text >> 8) & 0xFF, text & 0xFF), QColor(heat));
    QVERIFY2(ratio >= 4.5, qPrintable(QString::number(ratio)));
  }

  // The dark heat scale still reads as a scale: each step redder than the one before and far
  // from the base at the hot end.
  void darkHeatRisesTowardsRed() {
    const QColor base = StandardDarkPalette().color(QPalette::Base);
    QColor previous = base;
    for (int k = 0; k <= 255; k += 15) {
      const QColor c(HeatColorFor(k, true));
      QVERIFY(c.red() > previous.red() || k == 0);
      QVERIFY(c.red() > c.green() && c.green() == c.blue());
      previous = c;
    }
    QVERIFY(ContrastRatio(QColor(HeatColorFor(255, true)), base) > 1.8);
  }

  void lightPaletteDrawsFixedColoursUnchanged() {
    const QPalette pal = LightPalette();
    for (QRgb text : kPatternTexts) {
      if (text == PatternCharStyle::AUTO) continue;
      PatternCharStyle s;
      s.text = text;
      QCOMPARE(CRegexEditView::FormatFor(s, pal).foreground().color().rgb(), text);
    }
    for (QRgb back : kBackgrounds) {
      PatternCharStyle s;
      s.text = qRgb(255, 0, 255);
      s.back = back;
      const QTextCharFormat f = CRegexEditView::FormatFor(s, pal);
      QCOMPARE(f.background().color().rgb(), back);
      QCOMPARE(f.foreground().color().rgb(), qRgb(255, 0, 255));  // outside the heat map, as given
    }
  }

  // In the dark palette the backgrounds are deep (the palette's text reads on them), the text
  // colours light (they read on the base), and element text on any background stays readable.
  void darkVariantsAreReadable() {
    const QPalette pal = StandardDarkPalette();
    QVERIFY(IsDarkPalette(pal));
    QVERIFY(!IsDarkPalette(LightPalette()));
    for (QRgb back : kBackgrounds) {
      const QColor drawn = ViewBackColor(back, pal);
      QVERIFY2(drawn.rgb() != back, qPrintable(QColor(back).name()));
      QVERIFY2(ContrastRatio(pal.color(QPalette::Text), drawn) >= 4.5, qPrintable(drawn.name()));
      for (QRgb text : kPatternTexts) {
        PatternCharStyle s;
        s.text = text;
        s.back = back;
        const QTextCharFormat f = CRegexEditView::FormatFor(s, pal);
        QVERIFY2(ContrastRatio(DrawnText(f, pal), f.background().color()) >= 4.5,
                 qPrintable(QColor(text).name() + QLatin1Char('/') + QColor(back).name()));
      }
    }
    for (QRgb text : kPatternTexts) {
      if (text == PatternCharStyle::AUTO) continue;
      const QColor drawn = ViewTextColor(text, pal);
      QVERIFY2(ContrastRatio(drawn, pal.color(QPalette::Base)) >= 4.5, qPrintable(drawn.name()));
    }
    QCOMPARE(ViewTextColor(qRgb(0, 0, 0), pal), pal.color(QPalette::Text));
    // A colour without a listed variant is still made readable on the base.
    QVERIFY(ContrastRatio(ViewTextColor(qRgb(20, 40, 90), pal), pal.color(QPalette::Base)) >= 4.5);
  }

  // The pattern box keeps its styles and redraws them in the colours of the new palette.
  void patternBoxRedrawsOnPaletteChange() {
    TestUi ui;
    CKorvaneDoc doc(&ui);
    ui.doc = &doc;
    CRegexEditView view(&doc);
    LoadPattern(&doc, QStringLiteral("a|b"));
    QCOMPARE(view.StyleAt(1).text, qRgb(80, 80, 255));
    auto drawnAt = [&view](int position) {
      const QTextBlock block = view.document()->begin();
      for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (position >= r.start && position < r.start + r.length) return r.format.foreground().color().rgb();
      return QRgb(0);
    };
    QCOMPARE(drawnAt(1), qRgb(80, 80, 255));
    QApplication::setPalette(StandardDarkPalette());
    QTRY_COMPARE(drawnAt(1), ViewTextColor(qRgb(80, 80, 255), StandardDarkPalette()).rgb());
    QCOMPARE(view.StyleAt(1).text, qRgb(80, 80, 255));  // the state is unchanged
    QCOMPARE(view.palette().color(QPalette::Base), StandardDarkPalette().color(QPalette::Base));
    QApplication::setPalette(LightPalette());
    QTRY_COMPARE(drawnAt(1), qRgb(80, 80, 255));
  }

  void paletteFromTheEnvironment() {
    qputenv("KORVANE_PALETTE", "Dark");
    QVERIFY(ApplyPaletteFromEnvironment());
    QCOMPARE(QApplication::palette().color(QPalette::Base), StandardDarkPalette().color(QPalette::Base));
    qputenv("KORVANE_PALETTE", "light");
    QVERIFY(ApplyPaletteFromEnvironment());
    QVERIFY(!IsDarkPalette(QApplication::palette()));
    qputenv("KORVANE_PALETTE", "purple");
    QVERIFY(!ApplyPaletteFromEnvironment());
    qunsetenv("KORVANE_PALETTE");
    QVERIFY(!ApplyPaletteFromEnvironment());
  }
};

QTEST_MAIN(ViewColoursTest)
#include "view_colours_test.moc"
