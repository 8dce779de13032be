// Covered by app/ui/tests/frame_test.cpp.
#include "app/ui/frame/fonts_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "korvane_ids.h"
#include "stringtable.h"

namespace {
// Sample fields grow with their text between these widths.
constexpr int kSampleMinWidth = 220;
constexpr int kSampleMaxWidth = 520;
}  // namespace

CFontsDialog::CFontsDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(CStringTable::Str(IDS_DLG_FONTS_CAPTION));
  static const char* const keys[ROW_COUNT] = {CSavedFont::kRegex, CSavedFont::kText, CSavedFont::kReplaceTo,
                                              CSavedFont::kResult};
  static const int labels[ROW_COUNT] = {IDS_DLG_FONTS_REGEX, IDS_DLG_FONTS_TEXT, IDS_DLG_FONTS_REPLACE_TO,
                                        IDS_DLG_FONTS_RESULT};
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  bool allEqual = true;
  for (int row = 0; row < ROW_COUNT; ++row) {
    m_fonts[row] = CSavedFont(QLatin1String(keys[row]));
    m_fonts[row].Load();
    if (m_fonts[row].Text() != m_fonts[0].Text()) allEqual = false;
    grid->addWidget(new QLabel(CStringTable::Str(labels[row]), this), row, 0);
    m_samples[row] = new QLineEdit(this);
    m_samples[row]->setReadOnly(true);
    m_samples[row]->setMinimumWidth(kSampleMinWidth);
    grid->addWidget(m_samples[row], row, 1);
    m_selects[row] = new QPushButton(CStringTable::Str(IDS_DLG_FONTS_SELECT), this);
    grid->addWidget(m_selects[row], row, 2);
    connect(m_selects[row], &QPushButton::clicked, this, [this, row] {
      QFont chosen;
      // The dialog starts from the font the row shows now.
      if (chooseFont(m_fonts[row].DialogFont(), &chosen)) FontChosen(row, chosen);
    });
  }
  layout->addLayout(grid);
  m_pSame = new QCheckBox(CStringTable::Str(IDS_DLG_FONTS_SAME_FONT), this);
  m_pSame->setChecked(allEqual);
  connect(m_pSame, &QCheckBox::toggled, this, [this] { Refresh(); });
  layout->addWidget(m_pSame);

  auto* box = new QDialogButtonBox(this);
  QPushButton* restore = box->addButton(CStringTable::Str(IDS_DLG_FONTS_RESTORE_DEFAULT), QDialogButtonBox::ResetRole);
  box->addButton(CStringTable::Str(IDS_BTN_OK), QDialogButtonBox::AcceptRole)->setDefault(true);
  box->addButton(CStringTable::Str(IDS_BTN_CANCEL), QDialogButtonBox::RejectRole);
  connect(restore, &QPushButton::clicked, this, &CFontsDialog::RestoreDefault);
  connect(box, &QDialogButtonBox::accepted, this, [this] {
    SaveAll();
    accept();
  });
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(box);

  chooseFont = [this](const QFont& initial, QFont* chosen) {
    bool ok = false;
    *chosen = QFontDialog::getFont(&ok, initial, this);
    return ok;
  };
  Refresh();
}

QString CFontsDialog::SampleText(const CSavedFont& font) {
  // A missing face says which font stands in for it; the saved face itself is kept.
  if (font.IsStandIn())
    return CStringTable::FormatStrings(CStringTable::Str(IDS_FMT_FONT_STAND_IN), {font.DrawnFamily(), font.Description().face});
  return font.Description().face.isEmpty() ? font.DrawnFamily() : font.Description().face;
}

bool CFontsDialog::IsSameFont() const { return m_pSame->isChecked(); }

void CFontsDialog::SetSameFont(bool same) { m_pSame->setChecked(same); }

void CFontsDialog::Refresh() {
  const bool same = IsSameFont();
  for (int row = 0; row < ROW_COUNT; ++row) {
    const CSavedFont& shown = same ? m_fonts[ROW_REGEX] : m_fonts[row];
    m_samples[row]->setFont(shown.Font());
    const QString text = SampleText(shown);
    m_samples[row]->setText(text);
    m_samples[row]->setToolTip(text);
    m_samples[row]->setCursorPosition(0);  // the start, the family's name, shows when it is cut
    const int wanted = m_samples[row]->fontMetrics().horizontalAdvance(text) + 16;
    m_samples[row]->setMinimumWidth(qBound(kSampleMinWidth, wanted, kSampleMaxWidth));
    if (row != ROW_REGEX) {
      m_samples[row]->setEnabled(!same);
      m_selects[row]->setEnabled(!same);
    }
  }
}

void CFontsDialog::RestoreDefault() {
  for (CSavedFont& font : m_fonts) font.SetText(QLatin1String(CSavedFont::kDefaultText));
  m_pSame->setChecked(true);
  Refresh();
}

void CFontsDialog::FontChosen(int row, const QFont& font) {
  m_fonts[row].SetChosenFont(font);
  if (row == ROW_REGEX && IsSameFont())
    for (int other = 1; other < ROW_COUNT; ++other) m_fonts[other].CopyFrom(m_fonts[ROW_REGEX]);
  Refresh();
}

void CFontsDialog::SaveAll() {
  if (IsSameFont())
    for (int other = 1; other < ROW_COUNT; ++other) m_fonts[other].CopyFrom(m_fonts[ROW_REGEX]);
  for (const CSavedFont& font : m_fonts) font.Save();
}
