#include "app/ui/results/view_prompts.h"

#include <QInputDialog>
#include <QMessageBox>

#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

namespace {
std::function<int(const QString&, int)>& Asker() {
  static std::function<int(const QString&, int)> asker;
  return asker;
}
std::function<bool(QString&)>& NameAsker() {
  static std::function<bool(QString&)> asker;
  return asker;
}
}  // namespace

void CViewPrompts::SetAsker(std::function<int(const QString&, int)> asker) { Asker() = std::move(asker); }
void CViewPrompts::SetNameAsker(std::function<bool(QString&)> asker) { NameAsker() = std::move(asker); }

int CViewPrompts::Ask(QWidget* parent, const QString& text, int buttons) {
  if (Asker()) return Asker()(text, buttons);
  QMessageBox box(QMessageBox::Question, CStringTable::Str(IDS_APP_NAME), text, QMessageBox::NoButton, parent);
  switch (buttons) {
    case YES_NO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::No);
      break;
    case OK_CANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Cancel);
      break;
    default:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Cancel);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Yes: return ANSWER_YES;
    case QMessageBox::No: return ANSWER_NO;
    case QMessageBox::Ok: return ANSWER_OK;
    default: return ANSWER_CANCEL;
  }
}

void CViewPrompts::Tell(QWidget* parent, const QString& text) {
  if (Asker()) {
    Asker()(text, TELL);
    return;
  }
  QMessageBox::information(parent, CStringTable::Str(IDS_APP_NAME), text);
}

bool CViewPrompts::AskName(QWidget* parent, QString& name) {
  if (NameAsker()) return NameAsker()(name);
  bool ok = false;
  QString entered = QInputDialog::getText(parent, CStringTable::Str(IDS_DLG_NAME_CAPTION), CStringTable::Str(IDS_DLG_NAME_LABEL),
                                          QLineEdit::Normal, name, &ok);
  if (!ok) return false;
  name = entered;
  return true;
}
