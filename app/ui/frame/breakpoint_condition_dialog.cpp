#include "app/ui/frame/breakpoint_condition_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

#include <climits>

#include "app/document/debugger/breakpoints.h"
#include "korvane_ids.h"
#include "stringtable.h"

CBreakpointConditionDialog::CBreakpointConditionDialog(int condition, int value, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(CStringTable::Str(IDS_BREAK_CONDITION_TITLE));
  m_pCondition = new QComboBox(this);
  // The item index is the BreakCondition value.
  m_pCondition->addItem(CStringTable::Str(IDS_BREAK_CONDITION_ALWAYS));
  m_pCondition->addItem(CStringTable::Str(IDS_BREAK_CONDITION_POSITION));
  m_pCondition->addItem(CStringTable::Str(IDS_BREAK_CONDITION_HIT));
  m_pValue = new QSpinBox(this);
  m_pValue->setRange(0, INT_MAX);

  auto* form = new QFormLayout(this);
  form->addRow(CStringTable::Str(IDS_BREAK_CONDITION_PROMPT), m_pCondition);
  form->addRow(QString(), m_pValue);
  auto* box = new QDialogButtonBox(this);
  box->addButton(CStringTable::Str(IDS_BTN_OK), QDialogButtonBox::AcceptRole)->setDefault(true);
  box->addButton(CStringTable::Str(IDS_BTN_CANCEL), QDialogButtonBox::RejectRole);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(box);

  connect(m_pCondition, &QComboBox::currentIndexChanged, this, [this] { UpdateValueRange(); });
  Choose(condition, value);
}

void CBreakpointConditionDialog::Choose(int condition, int value) {
  if (condition != BREAK_AT_POSITION && condition != BREAK_ON_HIT) condition = BREAK_ALWAYS;
  m_pCondition->setCurrentIndex(condition);
  UpdateValueRange();
  m_pValue->setValue(value);
}

void CBreakpointConditionDialog::UpdateValueRange() {
  const int condition = m_pCondition->currentIndex();
  m_pValue->setEnabled(condition != BREAK_ALWAYS);
  // Entries count from one; positions from the start of the text.
  m_pValue->setMinimum(condition == BREAK_ON_HIT ? 1 : 0);
}

int CBreakpointConditionDialog::Condition() const { return m_pCondition->currentIndex(); }

int CBreakpointConditionDialog::Value() const {
  return Condition() == BREAK_ALWAYS ? 0 : m_pValue->value();
}
