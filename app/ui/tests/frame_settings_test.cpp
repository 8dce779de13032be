// Qt Test tests of the frame's settings, offscreen: fonts, the Fonts dialog, language, recent
// files, start-up input. Each test starts from an empty settings store (a temporary folder, see
// private_settings_main.h).
#include <QFile>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/ui/frame/fonts_dialog.h"
#include "app/ui/frame/korvane_app.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/frame/recent_files.h"
#include "app/ui/shared/saved_font.h"
#include "app/ui/frame/sizing_bar.h"
#include "korvane_ids.h"
#include "platform/profile.h"
#include "stringtable.h"
#include "app/ui/tests/private_settings_main.h"

class SettingsTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void fontParse_data();
  void fontParse();
  void fontRoundTrip();
  void fontsDialogRules();
  void fontsDialogCancelSavesNothing();
  void fontStandsInForAMissingFace_data();
  void fontStandsInForAMissingFace();
  void fontDialogStartsFromTheCurrentFont();
  void fontsDialogKeepsAMissingFace();
  void languageFromIni_data();
  void languageFromIni();
  void chineseMenus();
  void recentFiles();
};

// =============================================================================================
// SettingsTest

void SettingsTest::init() { ClearSettings(); }

void SettingsTest::fontParse_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("fields");
  QTest::addColumn<int>("height");
  QTest::addColumn<int>("weight");
  QTest::addColumn<bool>("italic");
  QTest::addColumn<QString>("face");
  QTest::newRow("default") << "-14/700/0/0/Tahoma/" << 5 << -14 << 700 << false << "Tahoma";
  QTest::newRow("only a height") << "-20" << 1 << -20 << 0 << false << "";
  QTest::newRow("height and slash") << "-18/" << 1 << -18 << 0 << false << "";
  QTest::newRow("no face") << "-16/400/1/0/" << 4 << -16 << 400 << true << "";
  QTest::newRow("face without final slash") << "-13/400/0/0/Mono" << 5 << -13 << 400 << false << "Mono";
  QTest::newRow("blanks before numbers") << " -15/ 700/0/0/Sans/" << 5 << -15 << 700 << false << "Sans";
  QTest::newRow("positive cell height") << "20/400/0/0/Sans/" << 5 << 20 << 400 << false << "Sans";
  QTest::newRow("junk after height") << "-12x/700/" << 1 << -12 << 0 << false << "";
  QTest::newRow("long face cut to 31")
      << "-12/700/0/0/A face name that runs on well past the limit/" << 5 << -12 << 700 << false
      << "A face name that runs on well p";
  QTest::newRow("huge height clamps") << "-99999999999/400/0/0/Sans/" << 5 << INT_MIN << 400 << false << "Sans";
}

void SettingsTest::fontParse() {
  QFETCH(QString, text);
  QFETCH(int, fields);
  QFETCH(int, height);
  QFETCH(int, weight);
  QFETCH(bool, italic);
  QFETCH(QString, face);
  FontDescription d;
  QCOMPARE(CSavedFont::Parse(text, &d), fields);
  QCOMPARE(d.height, height);
  QCOMPARE(d.weight, weight);
  QCOMPARE(d.italic != 0, italic);
  QCOMPARE(d.face, face);
  CSavedFont font(QStringLiteral("korvane_test"));
  QVERIFY(font.SetText(text));
  QVERIFY(!font.IsFallback());
  const int px = font.Font().pixelSize();
  QVERIFY2(px >= 1 && px <= 1000, qPrintable(QString::number(px)));
  if (height < 0 && height > -1000) QCOMPARE(px, -height);
  QCOMPARE(font.Font().italic(), italic);
  if (weight == 700) QCOMPARE(font.Font().weight(), QFont::Bold);
  if (!face.isEmpty()) QCOMPARE(font.Font().families().value(0), face);
}

void SettingsTest::fontRoundTrip() {
  CSavedFont font(QLatin1String(CSavedFont::kRegex));
  QVERIFY(font.Load());  // nothing stored: the default
  QCOMPARE(font.Text(), QStringLiteral("-14/700/0/0/Tahoma/"));
  QCOMPARE(font.Font().pixelSize(), 14);
  QVERIFY(font.Font().bold());
  // Not even a height: the system's GUI font.
  QVERIFY(!font.SetText(QStringLiteral("big")));
  QVERIFY(font.IsFallback());
  QVERIFY(!font.SetText(QString()));
  QFont chosen(QStringLiteral("Sans"));
  chosen.setPixelSize(17);
  chosen.setItalic(true);
  font.SetFont(chosen);
  font.Save();
  CSavedFont again(QLatin1String(CSavedFont::kRegex));
  QVERIFY(again.Load());
  QCOMPARE(again.Text(), font.Text());
  QCOMPARE(again.Font().pixelSize(), 17);
  QVERIFY(again.Font().italic());
  QCOMPARE(CProfile().GetString(QStringLiteral("Fonts"), QStringLiteral("korvane_regex"), QString()), font.Text());
  CSavedFont copy(QLatin1String(CSavedFont::kText));
  copy.CopyFrom(again);
  QCOMPARE(copy.Text(), again.Text());
  QCOMPARE(copy.Key(), QStringLiteral("korvane_text"));
}

void SettingsTest::fontsDialogRules() {
  {
    CFontsDialog dialog;
    // Nothing stored: four equal defaults, so the box starts ticked and three rows are off.
    QVERIFY(dialog.IsSameFont());
    for (int row = 1; row < CFontsDialog::ROW_COUNT; ++row) {
      QVERIFY(!dialog.SelectButton(row)->isEnabled());
      QVERIFY(!dialog.Sample(row)->isEnabled());
    }
    QVERIFY(dialog.SelectButton(0)->isEnabled());
    QCOMPARE(dialog.Sample(0)->text(), CFontsDialog::SampleText(dialog.Font(0)));
    QVERIFY(dialog.Sample(0)->text().contains(QStringLiteral("Tahoma")));
    // The regex font, chosen while ticked, goes to all four.
    QFont chosen(QStringLiteral("Serif"));
    chosen.setPixelSize(19);
    dialog.FontChosen(CFontsDialog::ROW_REGEX, chosen);
    for (int row = 0; row < CFontsDialog::ROW_COUNT; ++row) QCOMPARE(dialog.Font(row).Font().pixelSize(), 19);
    QCOMPARE(dialog.Sample(2)->font().pixelSize(), 19);
    dialog.SaveAll();
  }
  CProfile profile;
  const QString regex = profile.GetString(QStringLiteral("Fonts"), QStringLiteral("korvane_regex"), QString());
  QVERIFY(regex.startsWith(QStringLiteral("-19/")));
  for (const char* key : {"korvane_text", "korvane_replaceto", "korvane_result"})
    QCOMPARE(profile.GetString(QStringLiteral("Fonts"), QLatin1String(key), QString()), regex);

  // Different fonts: unticked, every row on; the text row's choice stays its own.
  profile.WriteString(QStringLiteral("Fonts"), QStringLiteral("korvane_text"), QStringLiteral("-11/400/0/0/Mono/"));
  profile.Flush();
  CFontsDialog dialog;
  QVERIFY(!dialog.IsSameFont());
  QVERIFY(dialog.SelectButton(CFontsDialog::ROW_TEXT)->isEnabled());
  QCOMPARE(dialog.Sample(CFontsDialog::ROW_TEXT)->text(), CFontsDialog::SampleText(dialog.Font(CFontsDialog::ROW_TEXT)));
  QVERIFY(dialog.Sample(CFontsDialog::ROW_TEXT)->text().contains(QStringLiteral("Mono")));
  QFont chosen(QStringLiteral("Serif"));
  chosen.setPixelSize(23);
  dialog.FontChosen(CFontsDialog::ROW_TEXT, chosen);
  QCOMPARE(dialog.Font(CFontsDialog::ROW_TEXT).Font().pixelSize(), 23);
  QCOMPARE(dialog.Font(CFontsDialog::ROW_REGEX).Font().pixelSize(), 19);
  // Ticking the box shows the regex font everywhere; OK then saves it everywhere.
  dialog.SetSameFont(true);
  QCOMPARE(dialog.Sample(CFontsDialog::ROW_TEXT)->font().pixelSize(), 19);
  // Restore Default: all four back to the default, ticked.
  dialog.SetSameFont(false);
  dialog.RestoreDefault();
  QVERIFY(dialog.IsSameFont());
  for (int row = 0; row < CFontsDialog::ROW_COUNT; ++row)
    QCOMPARE(dialog.Font(row).Text(), QStringLiteral("-14/700/0/0/Tahoma/"));
}

// A face that is not installed is drawn in the system's general font, or its fixed-pitch font
// for a fixed role or a fixed-pitch name, at the saved size, weight and slant; the saved text
// keeps the face.
void SettingsTest::fontStandsInForAMissingFace_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("fixedRole");
  QTest::addColumn<int>("drawn");  // 0 the face itself, 1 the general stand-in, 2 the fixed one
  const QString installed = QFontDatabase::families().value(0);
  QTest::newRow("missing face: the general font") << "-14/700/0/0/Korvane No Such Face/" << false << 1;
  QTest::newRow("missing face, fixed role: the fixed font") << "-14/700/0/0/Korvane No Such Face/" << true << 2;
  QTest::newRow("missing fixed-pitch name: the fixed font") << "-16/400/1/0/Korvane Mono Nowhere/" << false << 2;
  QTest::newRow("installed face: drawn itself") << QStringLiteral("-15/400/0/0/%1/").arg(installed) << true << 0;
  QTest::newRow("the default, Tahoma")
      << "-14/700/0/0/Tahoma/" << false << (QFontDatabase::hasFamily(QStringLiteral("Tahoma")) ? 0 : 1);
}

void SettingsTest::fontStandsInForAMissingFace() {
  QFETCH(QString, text);
  QFETCH(bool, fixedRole);
  QFETCH(int, drawn);
  CSavedFont font(QStringLiteral("korvane_test"), fixedRole ? CSavedFont::ROLE_FIXED : CSavedFont::ROLE_GENERAL);
  QVERIFY(font.SetText(text));
  FontDescription d;
  CSavedFont::Parse(text, &d);
  const QString expected = drawn == 0   ? d.face
                           : drawn == 1 ? QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family()
                                        : QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
  QCOMPARE(font.DrawnFamily(), expected);
  QCOMPARE(font.IsStandIn(), drawn != 0);
  QCOMPARE(font.Font().pixelSize(), -d.height);
  QCOMPARE(static_cast<int>(font.Font().weight()), d.weight);
  QCOMPARE(font.Font().italic(), d.italic != 0);
  QCOMPARE(font.Text(), text);  // what is saved again: the face as it was
  font.Save();
  QCOMPARE(CProfile().GetString(QStringLiteral("Fonts"), QStringLiteral("korvane_test"), QString()), text);
}

// "Select..." opens the font dialog on the font the row shows: the family drawn, its size in
// points, its weight; and a font dialog opened on that font shows it.
void SettingsTest::fontDialogStartsFromTheCurrentFont() {
  CFontsDialog dialog;
  QList<QFont> initials;
  QFont next(QFontDatabase::families().value(0));
  next.setPointSize(12);
  dialog.chooseFont = [&](const QFont& initial, QFont* chosen) {
    initials << initial;
    *chosen = next;
    return true;
  };
  const QString drawn = dialog.Font(CFontsDialog::ROW_REGEX).DrawnFamily();
  dialog.SelectButton(CFontsDialog::ROW_REGEX)->click();
  QCOMPARE(initials.size(), 1);
  QCOMPARE(initials[0].family(), drawn);
  QVERIFY(QFontDatabase::hasFamily(initials[0].family()));  // one the dialog lists
  QCOMPARE(initials[0].pointSizeF(), 10.5);  // 14 pixels
  QCOMPARE(initials[0].weight(), QFont::Bold);
  QFontDialog shown(initials[0]);
  QCOMPARE(shown.currentFont().family(), initials[0].family());
  QVERIFY(qAbs(shown.currentFont().pointSizeF() - 10.5) <= 0.5);  // the dialog's nearest size
  // OK on the dialog as it opened leaves the font as it was: 14 pixels, not 11 points.
  CSavedFont unchanged(QStringLiteral("korvane_test"));
  unchanged.SetChosenFont(shown.currentFont());
  QCOMPARE(unchanged.Font().pixelSize(), 14);
  QCOMPARE(unchanged.DrawnFamily(), drawn);
  QCOMPARE(shown.currentFont().weight(), QFont::Bold);
  // The next time it starts from the font chosen.
  dialog.SelectButton(CFontsDialog::ROW_REGEX)->click();
  QCOMPARE(initials.size(), 2);
  QCOMPARE(initials[1].family(), QFontInfo(next).family());
  QCOMPARE(initials[1].pointSizeF(), 12.0);
}

// Opening the dialog and pressing OK without choosing keeps the saved face, even one that is
// not installed here.
void SettingsTest::fontsDialogKeepsAMissingFace() {
  CProfile profile;
  profile.WriteString(QStringLiteral("Fonts"), QStringLiteral("korvane_regex"), QStringLiteral("-13/400/0/0/Korvane No Such Face/"));
  profile.Flush();
  {
    CFontsDialog dialog;
    QVERIFY(dialog.Font(CFontsDialog::ROW_REGEX).IsStandIn());
    QVERIFY(!dialog.IsSameFont());
    dialog.SaveAll();
  }
  QCOMPARE(CProfile().GetString(QStringLiteral("Fonts"), QStringLiteral("korvane_regex"), QString()),
           QStringLiteral("-13/400/0/0/Korvane No Such Face/"));
}

void SettingsTest::fontsDialogCancelSavesNothing() {
  CFontsDialog dialog;
  QFont chosen(QStringLiteral("Serif"));
  chosen.setPixelSize(30);
  dialog.FontChosen(CFontsDialog::ROW_REGEX, chosen);
  dialog.reject();
  QVERIFY(!CProfile().Settings().contains(QStringLiteral("Fonts/korvane_regex")));
  // OK through the frame's command: the document broadcasts the font-changed hints.
  CMainFrame frame;
  struct Recorder : CDocView {
    int hints = 0;
    void OnUpdate(CDocView*, int hint) override { hints |= hint; }
  } recorder;
  frame.Doc()->AddView(&recorder);
  QTimer::singleShot(0, [&] {
    if (auto* d = qobject_cast<CFontsDialog*>(QApplication::activeModalWidget())) d->accept();
  });
  QTimer::singleShot(2000, [&] {  // never leave a dialog hanging
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
  });
  frame.OnCommand(ID_SELECT_FONTS);
  frame.Doc()->RemoveView(&recorder);
  QCOMPARE(recorder.hints & 0x20082, 0x20082);
}

void SettingsTest::languageFromIni_data() {
  QTest::addColumn<QByteArray>("ini");
  QTest::addColumn<int>("lcid");
  QTest::newRow("Chinese") << QByteArray("[Settings]\nLCID=2052\n") << 2052;
  QTest::newRow("English") << QByteArray("[Settings]\nLCID=1033\n") << 1033;
  QTest::newRow("zero") << QByteArray("[Settings]\nLCID=0\n") << 0;
  QTest::newRow("garbage") << QByteArray("[Settings]\nLCID=chinese\n") << 0;
  QTest::newRow("other section") << QByteArray("[Other]\nLCID=2052\n") << 0;
  QTest::newRow("not an ini") << QByteArray("\x00\xff\xfe binary", 10) << 0;
  QTest::newRow("unknown language") << QByteArray("[Settings]\nLCID=1041\n") << 1041;
}

void SettingsTest::languageFromIni() {
  QFETCH(QByteArray, ini);
  QFETCH(int, lcid);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("korvane.ini"));
  {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(ini);
  }
  QCOMPARE(CKorvaneApp::ReadLanguageSetting(path), lcid);
  QCOMPARE(CKorvaneApp::ReadLanguageSetting(dir.filePath(QStringLiteral("missing.ini"))), 0);
  const int language = CKorvaneApp::ChooseLanguage(lcid);
  if (lcid == 2052) QCOMPARE(language, 2052);
  else if (lcid != 0) QCOMPARE(language, 1033);
  else QCOMPARE(language, CStringTable::LanguageFromLocale(QLocale::system()));
}

void SettingsTest::chineseMenus() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("korvane.ini"));
  {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[Settings]\r\nLCID=2052\r\n");
  }
  const CStringTable chinese(CStringTable::kSimplifiedChinese);
  const CStringTable english(CStringTable::kEnglish);
  CKorvaneApp::InstallLanguage(CKorvaneApp::ChooseLanguage(CKorvaneApp::ReadLanguageSetting(path)));
  {
    CMainFrame frame;
    QCOMPARE(frame.TopMenu(IDS_MENU_FILE)->title(), chinese.Get(IDS_MENU_FILE));
    QVERIFY(frame.TopMenu(IDS_MENU_FILE)->title() != english.Get(IDS_MENU_FILE));
    QCOMPARE(frame.CommandAction(ID_MATCH_FIND)->text(), chinese.Get(IDS_MENU_MATCH_FIND));
    QCOMPARE(frame.CommandAction(ID_MATCH_FIND)->statusTip(), chinese.GetPrompt(ID_MATCH_FIND));
    QCOMPARE(frame.MessageText(), chinese.Get(IDS_READY));
    QCOMPARE(frame.SizingBar(BAR_STRUCTURE)->windowTitle(), chinese.Get(IDS_BAR_STRUCTURE));
    QCOMPARE(frame.SizingBar(BAR_TESTS)->windowTitle(), chinese.Get(IDS_BAR_TESTS));
    QCOMPARE(frame.TopMenu(IDS_MENU_TESTS)->title(), chinese.Get(IDS_MENU_TESTS));
    QCOMPARE(frame.CommandAction(ID_TEST_ACCEPT)->text(), chinese.Get(IDS_MENU_TEST_ACCEPT));
    frame.ShowResultPosition(1, 2);
    QString expected = chinese.Get(IDS_RESULT_POSITION);
    expected.replace(expected.indexOf(QStringLiteral("%d")), 2, QStringLiteral("1"));
    expected.replace(expected.indexOf(QStringLiteral("%d")), 2, QStringLiteral("2"));
    QCOMPARE(frame.ResultText(), expected);
    // Qt's own dialogs follow.
    QCOMPARE(QLocale().language(), QLocale::Chinese);
    QVERIFY(QCoreApplication::translate("QPlatformTheme", "Cancel") != QStringLiteral("Cancel"));
  }
  CKorvaneApp::InstallLanguage(CStringTable::kEnglish);
  CMainFrame frame;
  QCOMPARE(frame.TopMenu(IDS_MENU_FILE)->title(), QStringLiteral("&File"));
}

void SettingsTest::recentFiles() {
  CRecentFileList list;
  for (int i = 0; i < 11; ++i) list.Add(QStringLiteral("/tmp/w%1.rws").arg(i));
  QCOMPARE(list.Files().size(), 9);
  QCOMPARE(list.Files().first(), QStringLiteral("/tmp/w10.rws"));
  QCOMPARE(list.Files().last(), QStringLiteral("/tmp/w2.rws"));
  list.Add(QStringLiteral("/tmp/w5.rws"));
  QCOMPARE(list.Files().size(), 9);
  QCOMPARE(list.Files().first(), QStringLiteral("/tmp/w5.rws"));
  {
    CProfile profile;
    list.Save(profile);
    profile.WriteString(QStringLiteral("Recent File List"), QStringLiteral("File3"), QStringLiteral("  "));
    profile.Flush();
  }
  CRecentFileList loaded;
  loaded.Load(CProfile());
  QCOMPARE(loaded.Files().size(), 8);  // the blank entry is skipped
  QCOMPARE(loaded.Files().first(), QStringLiteral("/tmp/w5.rws"));
  QCOMPARE(CRecentFileList::Caption(0, QStringLiteral("/a/b&c.rws")), QStringLiteral("&1 /a/b&&c.rws"));
  // The File menu lists them as commands 57616 ...
  CMainFrame frame;
  QVERIFY(frame.QueryCommand(ID_FILE_MRU_FIRST).enabled);
  QVERIFY(!frame.QueryCommand(ID_FILE_MRU_LAST).enabled);
  QVERIFY(frame.CommandAction(ID_FILE_MRU_FIRST)->text().startsWith(QStringLiteral("&1 ")));
}

int main(int argc, char** argv) { return RunWithPrivateSettings<SettingsTest>(argc, argv, "frame-settings-test"); }

#include "frame_settings_test.moc"
