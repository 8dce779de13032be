#include "app/ui/panes/test_cases/test_case_editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/flavours/flavour_table.h"
#include "app/host_engine.h"
#include "app/ui/editor/view_colours.h"
#include "app/ui/results/view_busy.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

namespace {
QString FromU16(const TestText& v) { return QString(reinterpret_cast<const QChar*>(v.data()), static_cast<int>(v.size())); }
TestText ToU16(const QString& s) { return TestText(s.utf16(), s.utf16() + s.size()); }

// The expectation kinds in the order of the combo box (the box's item data is the kind).
const int kKindCaptions[kExpectationKinds][2] = {
    {EXPECT_MATCH, IDS_TEST_KIND_MATCHES},       {EXPECT_NO_MATCH, IDS_TEST_KIND_NO_MATCH},
    {EXPECT_WHOLE, IDS_TEST_KIND_WHOLE},         {EXPECT_MATCH_LIST, IDS_TEST_KIND_MATCH_LIST},
    {EXPECT_REPLACED, IDS_TEST_KIND_REPLACED},   {EXPECT_SPLIT, IDS_TEST_KIND_SPLIT}};

const int kOptionCaptions[CTestCaseEditor::kOptionCount] = {IDS_CHK_IGNORECASE, IDS_CHK_SINGLELINE, IDS_CHK_MULTILINE,
                                                            IDS_CHK_GLOBAL,     IDS_CHK_RIGHTTOLEFT, IDS_CHK_EXTENDED};

bool KindHasText(int kind) { return kind == EXPECT_MATCH_LIST || kind == EXPECT_REPLACED || kind == EXPECT_SPLIT; }

// A whole non-negative number of at most nine digits (larger spans than that cannot exist).
bool ParsePosition(const QString& text, int* value) {
  if (text.isEmpty() || text.size() > 9) return false;
  int v = 0;
  for (QChar c : text) {
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + (c.unicode() - u'0');
  }
  *value = v;
  return true;
}
}  // namespace

int CTestCaseEditor::OptionFlag(int index) {
  static const int flags[kOptionCount] = {IGNORECASE, SINGLELINE, MULTILINE, GLOBAL, RIGHTTOLEFT, EXTENDED};
  return index >= 0 && index < kOptionCount ? flags[index] : 0;
}

CTestCaseEditor::CTestCaseEditor(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(3);

  m_pSubjectLabel = new QLabel(CStringTable::Str(IDS_TEST_EDIT_SUBJECT), this);
  m_pSubject = new QPlainTextEdit(this);
  m_pSubject->setObjectName(QStringLiteral("test-subject"));
  m_pSubject->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_pSubjectLabel->setBuddy(m_pSubject);
  layout->addWidget(m_pSubjectLabel);
  layout->addWidget(m_pSubject, 2);

  auto* options = new QGridLayout;
  options->setSpacing(2);
  m_pOwnOptions = new QCheckBox(CStringTable::Str(IDS_TEST_EDIT_OWN_OPTIONS), this);
  m_pOwnOptions->setObjectName(QStringLiteral("test-own-options"));
  options->addWidget(m_pOwnOptions, 0, 0, 2, 1, Qt::AlignTop);
  for (int i = 0; i < kOptionCount; ++i) {
    m_options[i] = new QCheckBox(CStringTable::Str(kOptionCaptions[i]), this);
    m_options[i]->setObjectName(QStringLiteral("test-option-%1").arg(i));
    options->addWidget(m_options[i], i / 3, 1 + i % 3);
  }
  options->setColumnStretch(4, 1);
  layout->addLayout(options);

  auto* expect = new QHBoxLayout;
  auto* expectLabel = new QLabel(CStringTable::Str(IDS_TEST_EDIT_EXPECT), this);
  m_pKind = new QComboBox(this);
  m_pKind->setObjectName(QStringLiteral("test-kind"));
  for (const auto& k : kKindCaptions) m_pKind->addItem(CStringTable::Str(k[1]), k[0]);
  expectLabel->setBuddy(m_pKind);
  m_pWithGroups = new QCheckBox(CStringTable::Str(IDS_TEST_EDIT_WITH_GROUPS), this);
  m_pWithGroups->setObjectName(QStringLiteral("test-with-groups"));
  expect->addWidget(expectLabel);
  expect->addWidget(m_pKind, 1);
  expect->addWidget(m_pWithGroups);
  layout->addLayout(expect);

  m_pExpectedLabel = new QLabel(CStringTable::Str(IDS_TEST_EDIT_EXPECTED_TEXT), this);
  m_pExpected = new QPlainTextEdit(this);
  m_pExpected->setObjectName(QStringLiteral("test-expected"));
  m_pExpected->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_pExpectedLabel->setBuddy(m_pExpected);
  // The flavours the test must pass in as well, on the line of the expected text's label (no
  // height of its own: the pane often sits in a low dock): a checkable menu.
  auto* flavoursLabel = new QLabel(CStringTable::Str(IDS_TEST_MUST_PASS_IN), this);
  m_pMustPassIn = new QToolButton(this);
  m_pMustPassIn->setObjectName(QStringLiteral("test-must-pass-in"));
  m_pMustPassIn->setPopupMode(QToolButton::InstantPopup);
  m_pMustPassIn->setToolButtonStyle(Qt::ToolButtonTextOnly);
  auto* menu = new QMenu(m_pMustPassIn);
  for (const FlavourInfo& info : AllFlavours()) {
    if (info.InProcess()) continue;  // Korvane itself
    QAction* action = menu->addAction(QString::fromUtf8(info.display));
    action->setCheckable(true);
    action->setData(QString::fromUtf8(info.name));
    connect(action, &QAction::toggled, this, [this] {
      ShowChosenFlavours();
      OnFieldChanged();
    });
  }
  // A click ticks or unticks a flavour and leaves the menu open, so that several are chosen in
  // one go; Escape or a click outside closes it.
  menu->installEventFilter(this);
  m_pMustPassIn->setMenu(menu);
  flavoursLabel->setBuddy(m_pMustPassIn);
  auto* expectedLine = new QHBoxLayout;
  expectedLine->addWidget(m_pExpectedLabel);
  expectedLine->addStretch(1);
  expectedLine->addWidget(flavoursLabel);
  expectedLine->addWidget(m_pMustPassIn);
  layout->addLayout(expectedLine);
  layout->addWidget(m_pExpected, 1);
  m_pProblem = new QLabel(this);
  m_pProblem->setObjectName(QStringLiteral("test-expected-problem"));
  m_pProblem->setWordWrap(true);
  m_pProblem->hide();
  layout->addWidget(m_pProblem);

  // Two lines each at the least, so that the pane fits a bottom dock of a few rows' height.
  const int twoLines = fontMetrics().lineSpacing() * 2 + 8;
  m_pSubject->setMinimumHeight(twoLines);
  m_pExpected->setMinimumHeight(twoLines);

  connect(m_pSubject, &QPlainTextEdit::textChanged, this, &CTestCaseEditor::OnFieldChanged);
  connect(m_pExpected, &QPlainTextEdit::textChanged, this, &CTestCaseEditor::OnFieldChanged);
  connect(m_pOwnOptions, &QCheckBox::toggled, this, &CTestCaseEditor::OnFieldChanged);
  for (QCheckBox* box : m_options) connect(box, &QCheckBox::toggled, this, &CTestCaseEditor::OnFieldChanged);
  connect(m_pWithGroups, &QCheckBox::toggled, this, &CTestCaseEditor::OnFieldChanged);
  connect(m_pKind, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
    if (!m_nBusy) m_bKeepKind = false;  // the user picked a kind
    OnFieldChanged();
  });
  Show(nullptr);
}

void CTestCaseEditor::Show(const TestCase* test) {
  CBusyGuard busy(m_nBusy);
  m_bHasTest = test != nullptr;
  m_bSubjectCut = false;
  m_bKeepKind = false;
  MarkBadLine(-1);
  if (!test) {
    m_pSubject->clear();
    m_pSubject->setPlaceholderText(CStringTable::Str(IDS_TEST_EDIT_NONE));
    m_pExpected->clear();
    m_pOwnOptions->setChecked(false);
    for (QCheckBox* box : m_options) box->setChecked(false);
    m_pKind->setCurrentIndex(0);
    m_pWithGroups->setChecked(false);
    for (QAction* action : m_pMustPassIn->menu()->actions()) action->setChecked(false);
    ShowChosenFlavours();
    UpdateEnabled();
    return;
  }
  m_pSubject->setPlaceholderText(QString());
  const TestText& subject = test->Subject();
  m_bSubjectCut = subject.size() > static_cast<size_t>(kEditableLength);
  QString shown = m_bSubjectCut ? QString(reinterpret_cast<const QChar*>(subject.data()), kShownLength) +
                                      CStringTable::Str(IDS_FMT_SNAPSHOT_ELLIPSIS)
                                : FromU16(subject);
  // Only a changed text is set again, so that the caret and the box's own undo survive the
  // pane's refills after every edit.
  if (m_pSubject->toPlainText() != shown) m_pSubject->setPlainText(shown);
  m_pSubject->setReadOnly(m_bSubjectCut);
  m_pOwnOptions->setChecked(test->ownOptions);
  for (int i = 0; i < kOptionCount; ++i) m_options[i]->setChecked((test->flags & OptionFlag(i)) != 0);
  const int index = m_pKind->findData(test->expectation);
  m_pKind->setCurrentIndex(index < 0 ? 0 : index);
  m_bKeepKind = index < 0;
  m_pWithGroups->setChecked(test->withGroups);
  for (QAction* action : m_pMustPassIn->menu()->actions())
    action->setChecked(std::find(test->mustPassIn.begin(), test->mustPassIn.end(),
                                 ToU16(action->data().toString())) != test->mustPassIn.end());
  ShowChosenFlavours();
  QString expected;
  switch (test->expectation) {
    case EXPECT_MATCH_LIST: expected = FormatMatches(test->matches, test->withGroups); break;
    case EXPECT_REPLACED: expected = FromU16(test->Replaced()); break;
    case EXPECT_SPLIT: expected = FormatPieces(test->pieces); break;
    default: break;
  }
  if (m_pExpected->toPlainText() != expected) m_pExpected->setPlainText(expected);
  UpdateEnabled();
}

void CTestCaseEditor::UpdateEnabled() {
  m_pSubject->setEnabled(m_bHasTest);
  m_pOwnOptions->setEnabled(m_bHasTest);
  for (QCheckBox* box : m_options) box->setEnabled(m_bHasTest && m_pOwnOptions->isChecked());
  m_pKind->setEnabled(m_bHasTest);
  const int kind = m_pKind->currentData().toInt();
  m_pWithGroups->setEnabled(m_bHasTest && kind == EXPECT_MATCH_LIST);
  m_pMustPassIn->setEnabled(m_bHasTest);
  // The expected box stays in place for every kind (greyed when the kind needs no text), so
  // that the pane does not jump when another test is selected.
  const bool text = KindHasText(kind);
  int label = IDS_TEST_EDIT_EXPECTED_TEXT;
  switch (kind) {
    case EXPECT_MATCH_LIST: label = IDS_TEST_EDIT_EXPECTED_MATCHES; break;
    case EXPECT_REPLACED: label = IDS_TEST_EDIT_EXPECTED_REPLACED; break;
    case EXPECT_SPLIT: label = IDS_TEST_EDIT_EXPECTED_PIECES; break;
    default: break;
  }
  m_pExpectedLabel->setText(CStringTable::Str(label));
  m_pExpectedLabel->setEnabled(m_bHasTest && text);
  m_pExpected->setEnabled(m_bHasTest && text);
}

void CTestCaseEditor::OnFieldChanged() {
  if (m_nBusy) return;
  UpdateEnabled();
  if (m_bHasTest) emit Edited();
}

void CTestCaseEditor::MarkBadLine(int line) {
  if (line < 0 || line >= m_pExpected->blockCount()) line = -1;
  m_nBadLine = line;
  QList<QTextEdit::ExtraSelection> marks;
  if (line >= 0) {
    QTextEdit::ExtraSelection mark;
    mark.cursor = QTextCursor(m_pExpected->document()->findBlockByNumber(line));
    mark.format.setBackground(ViewBackColor(qRgb(255, 205, 205), palette()));
    mark.format.setProperty(QTextFormat::FullWidthSelection, true);
    marks << mark;
    QPalette look = m_pProblem->palette();
    look.setColor(QPalette::WindowText, ViewTextColor(qRgb(176, 0, 0), palette()));
    m_pProblem->setPalette(look);
    m_pProblem->setText(
        CStringTable::FormatStrings(CStringTable::Str(IDS_TEST_EDIT_BAD_LINE), {QString::number(line + 1)}));
  }
  m_pExpected->setExtraSelections(marks);
  m_pProblem->setVisible(line >= 0);
}

void CTestCaseEditor::RestoreExpected(const QString& text) {
  CBusyGuard busy(m_nBusy);
  if (m_pExpected->toPlainText() != text) m_pExpected->setPlainText(text);
}

bool CTestCaseEditor::eventFilter(QObject* watched, QEvent* event) {
  if (m_pMustPassIn && watched == m_pMustPassIn->menu() && event->type() == QEvent::MouseButtonRelease) {
    auto* menu = m_pMustPassIn->menu();
    QAction* action = menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
    if (action && action->isCheckable() && action->isEnabled()) {
      action->toggle();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

std::vector<TestText> CTestCaseEditor::ChosenFlavours() const {
  std::vector<TestText> out;
  for (QAction* action : m_pMustPassIn->menu()->actions())
    if (action->isChecked()) out.push_back(ToU16(action->data().toString()));
  return out;
}

void CTestCaseEditor::ShowChosenFlavours() {
  QStringList names;
  for (QAction* action : m_pMustPassIn->menu()->actions())
    if (action->isChecked()) names << action->text();
  // One flavour by its full name; several by their languages ("JavaScript, Python"), cut short
  // on the button when long. The tool tip names every flavour in full.
  QString text = names.isEmpty() ? CStringTable::Str(IDS_TEST_KORVANE_ONLY) : names.join(QStringLiteral(", "));
  if (names.size() > 1) {
    QStringList languages;
    for (const QString& name : names) {
      const QString language = name.section(QStringLiteral(" ("), 0, 0);
      if (!languages.contains(language)) languages << language;
    }
    text = languages.join(QStringLiteral(", "));
  }
  m_pMustPassIn->setText(m_pMustPassIn->fontMetrics().elidedText(text, Qt::ElideRight, 22 * fontMetrics().averageCharWidth()));
  const QString tip = CStringTable::Str(IDS_TEST_MUST_PASS_IN_TIP);
  m_pMustPassIn->setToolTip(names.size() > 1 ? names.join(QStringLiteral(", ")) + QStringLiteral("\n\n") + tip : tip);
}

bool CTestCaseEditor::Apply(TestCase* test, int* badLine) const {
  if (badLine) *badLine = -1;
  if (!m_bHasTest) return false;
  const int kind = m_bKeepKind ? test->expectation : m_pKind->currentData().toInt();
  const bool withGroups = m_pWithGroups->isChecked();
  const QString expected = m_pExpected->toPlainText();
  // An expected text as the editor showed it keeps the test's own value: the text forms do not
  // tell every value apart (no pieces and one empty piece both show as an empty box).
  const bool unchanged = kind == test->expectation && withGroups == test->withGroups &&
                         expected == (kind == EXPECT_MATCH_LIST ? FormatMatches(test->matches, withGroups)
                                      : kind == EXPECT_SPLIT    ? FormatPieces(test->pieces)
                                                                : QString());
  std::vector<TestMatch> matches;
  int bad = -1;
  // Matches that do not parse are left out; everything else is written all the same.
  const bool parsed = kind != EXPECT_MATCH_LIST || unchanged || ParseMatches(expected, withGroups, &matches, &bad);
  if (badLine) *badLine = bad;
  if (!m_bSubjectCut) {
    TestText subject = ToU16(m_pSubject->toPlainText());
    if (subject != test->Subject()) test->SetSubject(std::move(subject));
  }
  test->ownOptions = m_pOwnOptions->isChecked();
  test->mustPassIn = ChosenFlavours();
  int flags = 0;
  for (int i = 0; i < kOptionCount; ++i)
    if (m_options[i]->isChecked()) flags |= OptionFlag(i);
  // Bits the editor does not show (none today) are kept.
  int shown = 0;
  for (int i = 0; i < kOptionCount; ++i) shown |= OptionFlag(i);
  test->flags = (test->flags & ~shown) | flags;
  test->expectation = kind;
  test->withGroups = withGroups;
  // What another kind expected is kept, so that switching the kind back and forth loses nothing.
  switch (kind) {
    case EXPECT_MATCH_LIST:
      if (!unchanged && parsed) test->matches = std::move(matches);
      break;
    case EXPECT_REPLACED: {
      TestText replaced = ToU16(expected);
      if (replaced != test->Replaced()) test->SetReplaced(std::move(replaced));
      break;
    }
    case EXPECT_SPLIT:
      if (!unchanged) test->pieces = ParsePieces(expected);
      break;
    default: break;
  }
  return parsed;
}

// ---------------------------------------------------------------------------------------------
// Text forms

QString CTestCaseEditor::Escape(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (QChar c : text) {
    switch (c.unicode()) {
      case u'\\': out += QLatin1String("\\\\"); break;
      case u'\n': out += QLatin1String("\\n"); break;
      case u'\r': out += QLatin1String("\\r"); break;
      case u'\t': out += QLatin1String("\\t"); break;
      default: out += c; break;
    }
  }
  return out;
}

QString CTestCaseEditor::Unescape(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (int i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c != u'\\' || i + 1 == text.size()) {
      out += c;  // a backslash at the very end stands for itself
      continue;
    }
    const QChar n = text.at(++i);
    switch (n.unicode()) {
      case u'n': out += u'\n'; break;
      case u'r': out += u'\r'; break;
      case u't': out += u'\t'; break;
      case u'\\': out += u'\\'; break;
      default:  // an unknown escape keeps both characters
        out += c;
        out += n;
        break;
    }
  }
  return out;
}

QString CTestCaseEditor::FormatMatches(const std::vector<TestMatch>& matches, bool withGroups) {
  QStringList lines;
  for (const TestMatch& m : matches) {
    QString line = QStringLiteral("%1-%2").arg(m.start).arg(m.end);
    if (withGroups)
      for (const TestText& g : m.groups) line += QLatin1Char('\t') + Escape(FromU16(g));
    lines << line;
  }
  return lines.join(QLatin1Char('\n'));
}

bool CTestCaseEditor::ParseMatches(const QString& text, bool withGroups, std::vector<TestMatch>* matches,
                                   int* badLine) {
  std::vector<TestMatch> out;
  int number = -1;
  for (const QString& raw : text.split(QLatin1Char('\n'))) {
    ++number;
    // Blank lines (a trailing line break, spacing) carry nothing; a line of only blanks neither.
    const QString line = raw.endsWith(QLatin1Char('\r')) ? raw.chopped(1) : raw;
    if (line.trimmed().isEmpty()) continue;
    const QStringList fields = line.split(QLatin1Char('\t'));
    const QString span = fields.first().trimmed();
    const int dash = span.indexOf(QLatin1Char('-'));
    TestMatch m;
    if (dash < 0 || !ParsePosition(span.left(dash).trimmed(), &m.start) ||
        !ParsePosition(span.mid(dash + 1).trimmed(), &m.end) || m.end < m.start) {
      if (badLine) *badLine = number;
      return false;
    }
    if (withGroups)
      for (int i = 1; i < fields.size(); ++i) m.groups.push_back(ToU16(Unescape(fields[i])));
    out.push_back(std::move(m));
  }
  *matches = std::move(out);
  return true;
}

QString CTestCaseEditor::FormatPieces(const std::vector<TestText>& pieces) {
  QStringList lines;
  for (const TestText& p : pieces) lines << Escape(FromU16(p));
  return lines.join(QLatin1Char('\n'));
}

std::vector<TestText> CTestCaseEditor::ParsePieces(const QString& text) {
  // Every line is a piece, empty ones included (splitting "a,,b" at "," gives an empty piece);
  // an empty text is no pieces.
  std::vector<TestText> pieces;
  if (text.isEmpty()) return pieces;
  for (const QString& line : text.split(QLatin1Char('\n'))) pieces.push_back(ToU16(Unescape(line)));
  return pieces;
}
