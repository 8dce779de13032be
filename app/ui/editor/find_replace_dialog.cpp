// The modeless find/replace dialog shared by all text boxes.
#include "app/ui/editor/find_replace_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/ui/editor/rich_edit_view.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

// The last search, shared by every box for the life of the program (UI thread only).
struct LastSearchState {
  QString what;
  QString with;
  bool matchCase = false;
  bool wholeWord = false;
  bool down = true;
};

LastSearchState& Last() {
  static LastSearchState s;
  return s;
}

QPointer<CFindReplaceDialog>& Instance() {
  static QPointer<CFindReplaceDialog> dialog;
  return dialog;
}

}  // namespace

CFindReplaceDialog* CFindReplaceDialog::Current() { return Instance().data(); }

QString CFindReplaceDialog::LastSearch() { return Last().what; }

CFindReplaceDialog* CFindReplaceDialog::Open(CRichEdit2WView* target, bool replaceForm) {
  QPointer<CFindReplaceDialog>& d = Instance();
  if (d && d->m_bReplaceForm != replaceForm) {
    d->close();
    delete d.data();
  }
  // The initial search text: the selection when it holds no line break, else the last one.
  QString initial = Last().what;
  if (target) {
    QString sel = target->textCursor().selectedText();
    if (!sel.isEmpty() && !sel.contains(QChar::ParagraphSeparator) && !sel.contains(QLatin1Char('\n')))
      initial = sel;
  }
  if (!d) {
    d = new CFindReplaceDialog(target, replaceForm);
  } else {
    d->m_pTarget = target;
  }
  d->SetFindWhat(initial);
  d->show();
  d->raise();
  d->activateWindow();
  return d.data();
}

CFindReplaceDialog::CFindReplaceDialog(CRichEdit2WView* target, bool replaceForm)
    : QDialog(target ? target->window() : nullptr), m_bReplaceForm(replaceForm), m_pTarget(target) {
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setWindowTitle(CStringTable::Str(replaceForm ? IDS_DLG_REPLACE_CAPTION : IDS_DLG_FIND_CAPTION));

  auto* grid = new QGridLayout;
  m_pFind = new QLineEdit(this);
  auto* findLabel = new QLabel(CStringTable::Str(IDS_DLG_FIND_WHAT), this);
  findLabel->setBuddy(m_pFind);
  grid->addWidget(findLabel, 0, 0);
  grid->addWidget(m_pFind, 0, 1);
  if (replaceForm) {
    m_pReplace = new QLineEdit(this);
    auto* replaceLabel = new QLabel(CStringTable::Str(IDS_DLG_REPLACE_WITH), this);
    replaceLabel->setBuddy(m_pReplace);
    grid->addWidget(replaceLabel, 1, 0);
    grid->addWidget(m_pReplace, 1, 1);
  }
  m_pWholeWord = new QCheckBox(CStringTable::Str(IDS_DLG_FIND_WHOLE_WORD), this);
  m_pMatchCase = new QCheckBox(CStringTable::Str(IDS_DLG_FIND_MATCH_CASE), this);
  auto* options = new QVBoxLayout;
  options->addWidget(m_pWholeWord);
  options->addWidget(m_pMatchCase);
  auto* optionRow = new QHBoxLayout;
  optionRow->addLayout(options);
  // The replace form always searches down, as the platform's replace dialog does.
  auto* direction = new QGroupBox(CStringTable::Str(IDS_DLG_FIND_DIRECTION), this);
  m_pUp = new QRadioButton(CStringTable::Str(IDS_DLG_FIND_UP), direction);
  m_pDown = new QRadioButton(CStringTable::Str(IDS_DLG_FIND_DOWN), direction);
  auto* dirLayout = new QHBoxLayout(direction);
  dirLayout->addWidget(m_pUp);
  dirLayout->addWidget(m_pDown);
  direction->setVisible(!replaceForm);
  optionRow->addWidget(direction);
  grid->addLayout(optionRow, 2, 0, 1, 2);

  auto* buttons = new QVBoxLayout;
  m_pFindNext = new QPushButton(CStringTable::Str(IDS_DLG_FIND_NEXT), this);
  m_pFindNext->setDefault(true);
  buttons->addWidget(m_pFindNext);
  connect(m_pFindNext, &QPushButton::clicked, this, [this] { OnFindNext(); });
  if (replaceForm) {
    m_pReplaceBtn = new QPushButton(CStringTable::Str(IDS_DLG_FIND_REPLACE), this);
    m_pReplaceAllBtn = new QPushButton(CStringTable::Str(IDS_DLG_FIND_REPLACE_ALL), this);
    buttons->addWidget(m_pReplaceBtn);
    buttons->addWidget(m_pReplaceAllBtn);
    connect(m_pReplaceBtn, &QPushButton::clicked, this, [this] { OnReplace(); });
    connect(m_pReplaceAllBtn, &QPushButton::clicked, this, [this] { OnReplaceAll(); });
  }
  auto* cancel = new QPushButton(CStringTable::Str(IDS_BTN_CANCEL), this);
  buttons->addWidget(cancel);
  buttons->addStretch(1);
  connect(cancel, &QPushButton::clicked, this, &QDialog::close);

  auto* top = new QHBoxLayout;
  top->addLayout(grid, 1);
  top->addLayout(buttons);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(top);
  m_pStatus = new QLabel(this);
  outer->addWidget(m_pStatus);

  const LastSearchState& last = Last();
  SetOptions(last.matchCase, last.wholeWord, last.down);
  if (m_pReplace) m_pReplace->setText(last.with);
  connect(m_pFind, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
  UpdateButtons();
}

QString CFindReplaceDialog::FindWhat() const { return m_pFind->text(); }
QString CFindReplaceDialog::ReplaceWith() const { return m_pReplace ? m_pReplace->text() : QString(); }
bool CFindReplaceDialog::MatchCase() const { return m_pMatchCase->isChecked(); }
bool CFindReplaceDialog::WholeWord() const { return m_pWholeWord->isChecked(); }
bool CFindReplaceDialog::SearchDown() const { return m_bReplaceForm || m_pDown->isChecked(); }

void CFindReplaceDialog::SetFindWhat(const QString& text) {
  m_pFind->setText(text);
  m_pFind->selectAll();
}

void CFindReplaceDialog::SetReplaceWith(const QString& text) {
  if (m_pReplace) m_pReplace->setText(text);
}

void CFindReplaceDialog::SetOptions(bool matchCase, bool wholeWord, bool down) {
  m_pMatchCase->setChecked(matchCase);
  m_pWholeWord->setChecked(wholeWord);
  (down ? m_pDown : m_pUp)->setChecked(true);
}

void CFindReplaceDialog::UpdateButtons() {
  bool any = !m_pFind->text().isEmpty();
  m_pFindNext->setEnabled(any);
  if (m_pReplaceBtn) m_pReplaceBtn->setEnabled(any);
  if (m_pReplaceAllBtn) m_pReplaceAllBtn->setEnabled(any);
}

void CFindReplaceDialog::Remember() {
  LastSearchState& last = Last();
  last.what = FindWhat();
  if (m_pReplace) last.with = ReplaceWith();
  last.matchCase = MatchCase();
  last.wholeWord = WholeWord();
  if (!m_bReplaceForm) last.down = SearchDown();
  m_pStatus->clear();
}

void CFindReplaceDialog::NotFound() {
  m_pStatus->setText(CStringTable::Str(IDS_DLG_FIND_NOT_FOUND).replace(QLatin1String("%s"), FindWhat()));
}

bool CFindReplaceDialog::OnFindNext() {
  Remember();
  if (!m_pTarget) return false;
  bool ok = m_pTarget->FindNext(FindWhat(), MatchCase(), WholeWord(), SearchDown());
  if (!ok) NotFound();
  return ok;
}

bool CFindReplaceDialog::OnReplace() {
  Remember();
  if (!m_pTarget) return false;
  bool ok = m_pTarget->ReplaceCurrent(FindWhat(), ReplaceWith(), MatchCase(), WholeWord(), true);
  if (!ok) NotFound();
  return ok;
}

int CFindReplaceDialog::OnReplaceAll() {
  Remember();
  if (!m_pTarget) return 0;
  int n = m_pTarget->ReplaceAll(FindWhat(), ReplaceWith(), MatchCase(), WholeWord());
  if (n == 0) NotFound();
  return n;
}

void CFindReplaceDialog::closeEvent(QCloseEvent* event) {
  Remember();
  QDialog::closeEvent(event);
}
