// Covered by app/ui/tests/frame_test.cpp.
#include "app/ui/frame/frame_dialogs.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/document/core/korvane_doc.h"
#include "korvane_ids.h"
#include "platform/version.h"
#include "stringtable.h"

CProgressDialog::CProgressDialog(CKorvaneDoc* doc, QWidget* parent) : QDialog(parent), m_pDoc(doc) {
  setWindowTitle(CStringTable::Str(IDS_DLG_WAIT_CAPTION));
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(CStringTable::Str(IDS_DLG_WAIT_COUNT), this));
  m_pCount = new QLabel(QStringLiteral("0"), this);
  m_pCount->setObjectName(QStringLiteral("count"));
  m_pCount->setMinimumWidth(80);
  row->addWidget(m_pCount, 1);
  layout->addLayout(row);
  m_pBar = new QProgressBar(this);
  m_pBar->setTextVisible(false);
  layout->addWidget(m_pBar);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* breakButton = new QPushButton(CStringTable::Str(IDS_DLG_WAIT_BREAK), this);
  breakButton->setObjectName(QStringLiteral("break"));
  buttons->addWidget(breakButton);
  layout->addLayout(buttons);
  connect(breakButton, &QPushButton::clicked, this, &CProgressDialog::reject);
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &CProgressDialog::Refresh);
  timer->start(kRefreshMs);
  resize(320, sizeHint().height());
}

void CProgressDialog::Refresh() {
  int count = 0, position = 0, range = 0;
  m_pDoc->WaitDialogProgress(&count, &position, &range);
  m_pCount->setText(QString::number(count));
  m_pBar->setRange(0, range > 0 ? range : 1);
  m_pBar->setValue(qBound(0, position, range > 0 ? range : 1));
}

int CProgressDialog::ShownCount() const { return m_pCount->text().toInt(); }

int CProgressDialog::ShownPosition() const { return m_pBar->value(); }

void CProgressDialog::CloseForJob() {
  m_bClosingForJob = true;
  QDialog::reject();
}

void CProgressDialog::reject() {
  if (!m_bClosingForJob && isVisible()) m_pDoc->WaitDialogBreak();
  QDialog::reject();
}

void CProgressDialog::Run() {
  if (!m_pDoc->WaitDialogOpening()) {
    m_pDoc->WaitDialogClosed();
    return;
  }
  Refresh();
  exec();
  m_pDoc->WaitDialogClosed();
}

CNameDialog::CNameDialog(const QString& name, QWidget* parent) : QDialog(parent) {
  setWindowTitle(CStringTable::Str(IDS_DLG_NAME_CAPTION));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(CStringTable::Str(IDS_DLG_NAME_LABEL), this));
  m_pEdit = new QLineEdit(name, this);
  m_pEdit->selectAll();
  layout->addWidget(m_pEdit);
  auto* box = new QDialogButtonBox(this);
  box->addButton(CStringTable::Str(IDS_BTN_OK), QDialogButtonBox::AcceptRole)->setDefault(true);
  box->addButton(CStringTable::Str(IDS_BTN_CANCEL), QDialogButtonBox::RejectRole);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(box);
  resize(320, sizeHint().height());
}

QString CNameDialog::Name() const { return m_pEdit->text(); }

void ShowAboutBox(QWidget* parent) {
  const QString version = CStringTable::Str(IDS_DLG_ABOUT_VERSION)
                              .replace(QStringLiteral("%s"), QStringLiteral(KORVANE_VERSION_TEXT));
  QMessageBox box(parent);
  box.setWindowTitle(CStringTable::Str(IDS_DLG_ABOUT_CAPTION));
  box.setIconPixmap(QIcon(QStringLiteral(":/korvane/icons/about.png")).pixmap(32, 30));
  box.setText(version);
  box.setInformativeText(CStringTable::Str(IDS_DLG_ABOUT_DESCRIPTION));
  box.addButton(CStringTable::Str(IDS_BTN_OK), QMessageBox::AcceptRole);
  box.exec();
}
