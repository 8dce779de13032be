#include "app/ui/results/save_dispatch.h"

#include <QFileDialog>
#include <QStringList>

#include "app/document/core/korvane_doc.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

int SaveFilterId(ESaveAsBox box) {
  switch (box) {
    case ESaveAsBox::SubjectText: return IDS_FILTER_SAVE_TEXT;
    case ESaveAsBox::ReplaceResult: return IDS_FILTER_SAVE_REPLACE_RESULT;
    case ESaveAsBox::SplitResult: return IDS_FILTER_SAVE_SPLIT_RESULT;
    default: return IDS_FILTER_SAVE_PATTERN;
  }
}

bool SaveBoxTo(CKorvaneDoc* doc, ESaveAsBox box, const QString& path, int filter, QStringView boxText) {
  if (!doc || path.isEmpty()) return false;
  return CSaveAs::Run(*doc, box, filter, path, boxText);
}

bool RunSaveAsDialog(QWidget* parent, CKorvaneDoc* doc, ESaveAsBox box, QStringView boxText) {
  const QStringList filters = CStringTable::ToQtFilters(CStringTable::Str(SaveFilterId(box)));
  QString selected = filters.value(0);
  const QString path =
      QFileDialog::getSaveFileName(parent, QString(), QString(), filters.join(QStringLiteral(";;")), &selected);
  if (path.isEmpty()) return false;
  return SaveBoxTo(doc, box, path, filters.indexOf(selected) + 1, boxText);
}
