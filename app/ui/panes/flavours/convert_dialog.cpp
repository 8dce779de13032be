// Convert to Flavour (see convert_dialog.h).
#include "app/ui/panes/flavours/convert_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/document/core/korvane_doc.h"
#include "app/document/flavours/flavour_session.h"
#include "app/document/pattern/flavour_notes.h"
#include "app/flavours/flavour_pool.h"
#include "app/flavours/korvane_column.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

QString Fmt(int id, const QStringList& args) { return CStringTable::FormatStrings(CStringTable::Str(id), args); }

}  // namespace

CConvertDialog::CConvertDialog(CKorvaneDoc* doc, const QString& flavour, QWidget* parent)
    : QDialog(parent), m_pDoc(doc) {
  setWindowTitle(CStringTable::Str(IDS_CONVERT_TITLE));
  setObjectName(QStringLiteral("convertDialog"));
  m_pPool = new CFlavourPool(this);
  m_pPool->SetMaxBusy(2);
  m_pPool->SetLauncher(doc->Flavours().Pool().GetLauncher());  // the same interpreters
  m_pRun = new CConversionRun(this);
  connect(m_pRun, &CConversionRun::Finished, this, &CConvertDialog::OnChecked);

  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* label = new QLabel(CStringTable::Str(IDS_CONVERT_TO), this);
  m_pFlavour = new QComboBox(this);
  for (const QString& f : ConvertibleFlavours()) m_pFlavour->addItem(FlavourNoteDisplayName(f), f);
  label->setBuddy(m_pFlavour);
  const int at = m_pFlavour->findData(flavour);
  m_pFlavour->setCurrentIndex(at >= 0 ? at : 0);
  top->addWidget(label);
  top->addWidget(m_pFlavour, 1);
  layout->addLayout(top);

  m_pPattern = new QLineEdit(this);
  m_pPattern->setObjectName(QStringLiteral("convertedPattern"));
  m_pPattern->setReadOnly(true);
  m_pPattern->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_pPattern->setMinimumWidth(520);
  layout->addWidget(m_pPattern);

  m_pStatus = new QLabel(this);
  m_pStatus->setObjectName(QStringLiteral("convertStatus"));
  m_pStatus->setWordWrap(true);
  m_pStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_pStatus->setMinimumHeight(m_pStatus->fontMetrics().height() * 4);
  m_pStatus->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  layout->addWidget(m_pStatus, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  m_pCopy = buttons->addButton(CStringTable::Str(IDS_CONVERT_COPY), QDialogButtonBox::ActionRole);
  m_pCopy->setEnabled(false);
  connect(m_pCopy, &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(m_conversion.pattern); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  connect(m_pFlavour, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &CConvertDialog::Convert);
  Convert();
}

void CConvertDialog::Convert() {
  m_pRun->Stop();
  m_pCopy->setEnabled(false);
  const QString flavour = m_pFlavour->currentData().toString();
  const QString shown = FlavourNoteDisplayName(flavour);
  const CFlavourSession::Input in = m_pDoc->Flavours().CurrentInput();
  int bits = 0;
  KorvaneFlagBits(in.flags, &bits);
  m_conversion = ConvertToFlavour(in.pattern.toStdU16String(), bits, flavour);
  if (!m_conversion.Converted()) {
    m_pPattern->clear();
    m_pPattern->setEnabled(false);
    m_pStatus->setText(Fmt(IDS_CONVERT_REFUSED, {shown}) + QLatin1Char('\n') + m_conversion.refused.join(QLatin1Char('\n')));
    return;
  }
  m_pPattern->setEnabled(true);
  m_pPattern->setText(m_conversion.pattern);
  m_pPattern->setCursorPosition(0);
  // The text box and the tests that run with the workspace's options: one conversion serves them.
  QStringList subjects;
  m_rowNames.clear();
  m_nOwnOptions = 0;
  for (int i = 0; i < in.subjects.size(); ++i) {
    if (i < in.rowFlags.size() && !in.rowFlags[i].isEmpty()) {
      ++m_nOwnOptions;
      continue;
    }
    subjects << in.subjects[i];
    m_rowNames << in.rowNames.value(i);
  }
  m_pStatus->setText(Fmt(IDS_CONVERT_CHECKING, {shown}));
  m_pRun->Start(m_pPool, in.pattern, in.flags, m_conversion, subjects);
}

void CConvertDialog::OnChecked(const ConversionCheck& check) {
  const QString shown = FlavourNoteDisplayName(m_conversion.flavour);
  QStringList lines;
  if (!check.error.isEmpty()) {
    lines << Fmt(IDS_CONVERT_TARGET_ERROR, {shown, check.error});
  } else if (check.Verified()) {
    lines << Fmt(IDS_CONVERT_SAME, {QString::number(check.same), QString::number(check.of), check.engine});
    if (check.upToEmpty > 0) lines << Fmt(IDS_CONVERT_UP_TO_EMPTY, {QString::number(check.upToEmpty), shown});
  } else {
    QStringList names;
    for (int d : check.differing) names << m_rowNames.value(d);
    lines << Fmt(IDS_CONVERT_DIFFERS, {QString::number(check.differing.size()), QString::number(check.of),
                                       names.join(QStringLiteral(", "))});
  }
  for (size_t k = 1; k < m_conversion.groupMap.size(); ++k)
    if (m_conversion.groupMap[k] != static_cast<int>(k) && m_conversion.groupMap[k] > 0)
      lines << Fmt(IDS_CONVERT_GROUP_MAP, {QString::number(k), QString::number(m_conversion.groupMap[k])});
  if (m_nOwnOptions > 0) lines << Fmt(IDS_CONVERT_OWN_OPTIONS, {QString::number(m_nOwnOptions)});
  m_pStatus->setText(lines.join(QLatin1Char('\n')));
  // Only a conversion proven the same on every text is offered.
  m_pCopy->setEnabled(check.Verified());
  m_pPattern->setEnabled(check.Verified());
}
