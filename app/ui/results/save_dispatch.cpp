#include "app/ui/results/save_dispatch.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

#include "app/document/korvane_doc.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

namespace {

bool EndsWith(const QString& path, const char* ext) { return path.endsWith(QLatin1String(ext), Qt::CaseInsensitive); }

// The extension a filter adds when the user typed none, or null.
const char* DefaultExtension(int source, int filter) {
  switch (source) {
    case SAVE_FROM_TEXT_BOX:
      if (filter == 1 || filter == 5) return ".txt";
      if (filter == 2 || filter == 3) return ".csv";
      if (filter == 4) return ".rws";
      break;
    case SAVE_FROM_REPLACE_RESULT:
      if (filter == 1 || filter == 4) return ".txt";
      if (filter == 2) return ".csv";
      if (filter == 3) return ".rws";
      break;
    case SAVE_FROM_SPLIT_LIST:
      if (filter == 1 || filter == 3) return ".csv";
      if (filter == 2) return ".rws";
      break;
    case SAVE_FROM_EDITOR:
      if (filter == 1 || filter == 3) return ".txt";
      if (filter == 2) return ".rws";
      break;
  }
  return nullptr;
}

}  // namespace

int SaveFilterId(int source) {
  switch (source) {
    case SAVE_FROM_TEXT_BOX: return IDS_FILTER_SAVE_TEXT;
    case SAVE_FROM_REPLACE_RESULT: return IDS_FILTER_SAVE_REPLACE_RESULT;
    case SAVE_FROM_SPLIT_LIST: return IDS_FILTER_SAVE_SPLIT_RESULT;
    default: return IDS_FILTER_SAVE_PATTERN;
  }
}

SaveTarget ResolveSave(int source, const QString& path, int filter) {
  SaveTarget t{path, SAVE_TEXT_FILE};
  if (QFileInfo(path).suffix().isEmpty()) {
    if (const char* ext = DefaultExtension(source, filter)) t.path += QLatin1String(ext);
  }
  if (EndsWith(t.path, ".rws")) {
    t.kind = SAVE_WORKSPACE;
    return t;
  }
  const bool csv = EndsWith(t.path, ".csv");
  switch (source) {
    case SAVE_FROM_TEXT_BOX:
      if (filter == 2) t.kind = SAVE_MATCH_RESULT;
      else if (filter == 3) t.kind = SAVE_SPLIT_RESULT;
      else if (csv) t.kind = SAVE_MATCH_RESULT;
      break;
    case SAVE_FROM_REPLACE_RESULT:
      if (filter == 2 || csv) t.kind = SAVE_REPLACE_RESULT;
      break;
    case SAVE_FROM_SPLIT_LIST:
      t.kind = SAVE_SPLIT_RESULT;
      break;
    default:
      break;
  }
  return t;
}

bool RunSaveAsDialog(QWidget* parent, CKorvaneDoc* doc, int source, const std::vector<unsigned short>& text) {
  const QStringList filters = CStringTable::ToQtFilters(CStringTable::Str(SaveFilterId(source)));
  QString selected = filters.isEmpty() ? QString() : filters.first();
  QString path = QFileDialog::getSaveFileName(parent, QString(), QString(), filters.join(QStringLiteral(";;")), &selected);
  if (path.isEmpty()) return false;
  int filter = filters.indexOf(selected) + 1;  // 0 when the dialog reports none
  return ExecuteSave(doc, ResolveSave(source, path, filter), text);
}

bool ExecuteSave(CKorvaneDoc* doc, const SaveTarget& target, const std::vector<unsigned short>& text) {
  // The writers are the document's export functions; until they are linked in, nothing is
  // written and the caller learns that.
  (void)doc;
  (void)target;
  (void)text;
  return false;
}
