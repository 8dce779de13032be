// CRichEdit2WView: quiet changes, placeholder, undo steps, edit commands, files, drops and the
// edit timer. The text going in and out of the control and the large-text machinery (folds, the
// chunked fill) are in rich_edit_fill.cpp.
#include "app/ui/editor/rich_edit_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimerEvent>
#include <QUrl>
#include <algorithm>

#include "app/document/core/korvane_doc.h"
#include "app/ui/editor/find_replace_dialog.h"
#include "korvane_ids.h"
#include "platform/code_page.h"
#include "platform/file_io.h"
#include "stringtable.h"

namespace {

std::function<bool(const QString&)>& WorkspaceOpener() {
  static std::function<bool(const QString&)> opener;
  return opener;
}

std::function<bool(const QString&)>& WorkspaceSaver() {
  static std::function<bool(const QString&)> saver;
  return saver;
}

std::function<void(const QString&)>& MessageHook() {
  static std::function<void(const QString&)> hook;
  return hook;
}

}  // namespace

CRichEdit2WView::CRichEdit2WView(CKorvaneDoc* doc, QWidget* parent) : QPlainTextEdit(parent), m_pDoc(doc) {
  setAcceptDrops(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setUndoRedoEnabled(true);
  // The boxes take their base and text from the application's palette (a dark desktop gets
  // dark boxes); the highlights turn to their dark variants with it (view_colours.h). Only the
  // placeholder's colour is fixed: it reads on a white and on a dark base alike.
  QPalette pal;
  pal.setColor(QPalette::PlaceholderText, QColor(187, 187, 170));
  setPalette(pal);
  connect(document(), &QTextDocument::contentsChange, this, &CRichEdit2WView::OnContentsChange);
  connect(this, &QPlainTextEdit::cursorPositionChanged, this, &CRichEdit2WView::OnCursorPositionChanged);
  connect(this, &QPlainTextEdit::selectionChanged, this, &CRichEdit2WView::OnCursorPositionChanged);
  if (m_pDoc) m_pDoc->AddView(this);
}

CRichEdit2WView::~CRichEdit2WView() {
  if (m_pDoc) {
    m_pDoc->ReleaseEditingToken(this);
    m_pDoc->RemoveView(this);
  }
}

void CRichEdit2WView::OnUpdate(CDocView* sender, int hint) {}


// ---------------------------------------------------------------------------------------------
// Placeholder

void CRichEdit2WView::SetPlaceholder(const QString& text) {
  m_placeholder = text;
  UpdatePlaceholderShown();
}

bool CRichEdit2WView::IsPlaceholderShown() const {
  return !m_placeholder.isEmpty() && !hasFocus() && document()->isEmpty();
}

void CRichEdit2WView::UpdatePlaceholderShown() {
  // Shown only while the box has no focus; clicking into the box empties it.
  QString wanted = hasFocus() ? QString() : m_placeholder;
  if (placeholderText() != wanted) setPlaceholderText(wanted);
}

void CRichEdit2WView::focusInEvent(QFocusEvent* event) {
  QPlainTextEdit::focusInEvent(event);
  UpdatePlaceholderShown();
}

void CRichEdit2WView::focusOutEvent(QFocusEvent* event) {
  QPlainTextEdit::focusOutEvent(event);
  UpdatePlaceholderShown();
}

// ---------------------------------------------------------------------------------------------
// Quiet changes

void CRichEdit2WView::BeginQuietChange() {
  if (m_nBusy++ == 0) {
    m_bSavedModified = document()->isModified();
    // The read-only state to restore is the box's own, not the lock of a folded text.
    m_bSavedReadOnly = m_bLocked ? m_bBaseReadOnly : isReadOnly();
    if (isReadOnly()) setReadOnly(false);
  }
}

void CRichEdit2WView::EndQuietChange() {
  if (m_nBusy <= 0) return;
  if (--m_nBusy == 0) {
    m_bBaseReadOnly = m_bSavedReadOnly;
    if (m_bSavedReadOnly || m_bLocked) setReadOnly(true);
    document()->setModified(m_bSavedModified);
    // The selection may have moved during the change; the user did not move it.
    QTextCursor c = textCursor();
    m_nLastSelStart = c.selectionStart();
    m_nLastSelEnd = c.selectionEnd();
    m_nLastRevision = document()->revision();
  }
}

// ---------------------------------------------------------------------------------------------
// Notifications of the control

void CRichEdit2WView::OnContentsChange(int position, int removed, int added) {
  if (m_nBusy > 0) return;
  // Format-only changes (the highlighter's) report the same span as removed and added; a real
  // edit changes the revision as well.
  if (removed == added && document()->revision() == m_nLastRevision) return;
  m_nLastRevision = document()->revision();
  OnUserTextChanged(position, removed, added);
  m_editTimer.start(kEditDelayMs, this);
  if (m_pDoc) m_pDoc->TakeEditingToken(this);  // the first call only queues this view
}

void CRichEdit2WView::OnCursorPositionChanged() {
  if (m_nBusy > 0) return;
  QTextCursor c = textCursor();
  int s = c.selectionStart(), e = c.selectionEnd();
  if (s == m_nLastSelStart && e == m_nLastSelEnd) return;
  m_nLastSelStart = s;
  m_nLastSelEnd = e;
  OnUserSelectionChanged();
}

void CRichEdit2WView::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_fillTimer.timerId()) {
    if (m_pendingText) BuildPendingText();
    else FillNextChunk();
    return;
  }
  if (event->timerId() != m_editTimer.timerId()) {
    QPlainTextEdit::timerEvent(event);
    return;
  }
  // Until the token is ours the timer keeps running and tries again every 350 ms.
  if (m_pDoc && !m_pDoc->TakeEditingToken(this)) return;
  m_editTimer.stop();
  CommitEdit();
  if (m_pDoc) m_pDoc->ReleaseEditingToken(this);
}

// ---------------------------------------------------------------------------------------------
// Undo steps

namespace {
bool IsWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }
}  // namespace

bool CRichEdit2WView::StartsUndoStep(QChar before, QChar typed, qint64 sinceLastMs) {
  if (sinceLastMs < 0 || sinceLastMs >= kUndoPauseMs) return true;
  // A word begins: the step before it holds the previous word and what followed it. A line
  // break counts as a blank (the control starts a step at a new line on its own as well).
  return IsWordChar(typed) && !IsWordChar(before);
}

void CRichEdit2WView::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  const bool typing = !isReadOnly() && !text.isEmpty() && text.at(0).isPrint() &&
                      !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
  if (!typing) {
    QPlainTextEdit::keyPressEvent(event);
    return;
  }
  const QTextCursor at = textCursor();
  const QChar before = at.position() > 0 ? document()->characterAt(at.position() - 1) : QChar();
  const bool newStep =
      !at.hasSelection() && StartsUndoStep(before, text.at(0), m_lastTyped.isValid() ? m_lastTyped.elapsed() : -1);
  m_lastTyped.start();
  if (!newStep) {
    QPlainTextEdit::keyPressEvent(event);
    return;
  }
  // The control merges a plain insertion into the step before it, but never into an edit
  // block: typed inside one, this character begins a step, and what is typed after it merges
  // into that step.
  QTextCursor block(document());
  block.beginEditBlock();
  QPlainTextEdit::keyPressEvent(event);
  block.endEditBlock();
}

void CRichEdit2WView::CommitEdit() {}
void CRichEdit2WView::OnUserSelectionChanged() {}
void CRichEdit2WView::OnUserTextChanged(int, int, int) {}

// ---------------------------------------------------------------------------------------------
// Edit commands

bool CRichEdit2WView::HandlesCommand(int id) const {
  switch (id) {
    case ID_EDIT_UNDO:
    case ID_EDIT_REDO:
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
    case ID_EDIT_PASTE:
    case ID_EDIT_CLEAR:
    case ID_EDIT_SELECT_ALL:
    case ID_EDIT_FIND:
    case ID_EDIT_REPLACE:
      return true;
    case ID_EDIT_OPEN_TEXT:
      return !IsBaseReadOnly();
    default:
      return false;
  }
}

bool CRichEdit2WView::IsCommandEnabled(int id) const {
  const bool writable = !isReadOnly();
  const bool selection = textCursor().hasSelection();
  switch (id) {
    case ID_EDIT_CUT:
    case ID_EDIT_CLEAR:
      return writable && selection;
    case ID_EDIT_COPY:
      return selection;
    case ID_EDIT_PASTE: {
      const QMimeData* m = QApplication::clipboard()->mimeData();
      return writable && m && m->hasText() && !m->text().isEmpty();
    }
    case ID_EDIT_UNDO:
      return writable && document()->isUndoAvailable();
    case ID_EDIT_REDO:
      return writable && document()->isRedoAvailable();
    case ID_EDIT_REPLACE:
      return writable;
    case ID_EDIT_OPEN_TEXT:
      return !IsBaseReadOnly();  // a folded text can be replaced by a file
    case ID_EDIT_FIND:
    case ID_EDIT_SELECT_ALL:
      return true;
    default:
      return false;
  }
}

bool CRichEdit2WView::DoCommand(int id) {
  if (!HandlesCommand(id)) return false;
  if (!IsCommandEnabled(id)) return true;
  switch (id) {
    case ID_EDIT_UNDO: undo(); break;
    case ID_EDIT_REDO: redo(); break;
    case ID_EDIT_CUT: cut(); break;
    case ID_EDIT_COPY: copy(); break;
    case ID_EDIT_PASTE: paste(); break;
    case ID_EDIT_CLEAR: textCursor().removeSelectedText(); break;
    case ID_EDIT_SELECT_ALL: selectAll(); break;
    case ID_EDIT_FIND: OnFind(); break;
    case ID_EDIT_REPLACE: OnReplace(); break;
    case ID_EDIT_OPEN_TEXT: OnOpenText(); break;
    default: return false;
  }
  return true;
}

bool CRichEdit2WView::canInsertFromMimeData(const QMimeData* source) const {
  return source->hasText() || source->hasUrls();
}

void CRichEdit2WView::insertFromMimeData(const QMimeData* source) {
  // Plain text only: no formats reach the box.
  if (source->hasText()) textCursor().insertText(source->text());
}

CommandState CRichEdit2WView::QueryViewCommand(int id) const {
  CommandState state;
  state.enabled = HandlesCommand(id) && IsCommandEnabled(id);
  return state;
}

int CRichEdit2WView::ContextMenuTemplate() const { return IDR_CTX_REPLACE; }

void CRichEdit2WView::ShowContextMenu(const QPoint& globalPos) {
  ShowViewContextMenu(ContextMenuTemplate(), this, globalPos);
}

void CRichEdit2WView::contextMenuEvent(QContextMenuEvent* event) {
  QPoint at = event->globalPos();
  if (event->reason() == QContextMenuEvent::Keyboard) at = viewport()->mapToGlobal(cursorRect().bottomRight());
  ShowContextMenu(at);
  event->accept();
}

// ---------------------------------------------------------------------------------------------
// Files

QString CRichEdit2WView::DecodeTextFile(const QByteArray& bytes) {
  const int n = bytes.size();
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes.constData());
  if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return QString::fromUtf8(bytes.constData() + 3, n - 3);
  if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) return CFileIo::DecodeUtf16Le(QByteArrayView(bytes.constData() + 2, n - 2));
  if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
    // Big-endian: swap each pair; an odd trailing byte is dropped.
    QString out;
    out.resize((n - 2) / 2);
    for (int i = 0; i < out.size(); ++i) out[i] = QChar(static_cast<char16_t>((b[2 + 2 * i] << 8) | b[3 + 2 * i]));
    return out;
  }
  return CCodePage::ToUtf16(bytes);
}

bool CRichEdit2WView::OpenTextFile(const QString& path) {
  if (path.isEmpty()) return false;
  if (path.endsWith(QLatin1String(".rws"), Qt::CaseInsensitive)) {
    const auto& opener = WorkspaceOpener();
    return opener ? opener(path) : false;
  }
  QString reason;
  try {
    QByteArray data;
    QString detail;
    switch (CFileIo::ReadAll(path, CFileIo::kDefaultReadLimit, &data, &detail)) {
      case EFileError::None: {
        QString text = DecodeTextFile(data);
        data = QByteArray();
        m_bUnfoldedByUser = false;
        ReplaceTextAsEdit(text);
        return true;
      }
      case EFileError::NotFound:
        reason = CStringTable::Str(IDS_REASON_NO_SUCH_FILE);
        break;
      case EFileError::TooLarge:
        reason = CStringTable::FormatStrings(CStringTable::Str(IDS_REASON_FILE_TOO_LARGE),
                                             {QString::number(CFileIo::kDefaultReadLimit >> 20)});
        break;
      default:  // the system's own words ("Permission denied", "Is a directory", ...)
        reason = detail.isEmpty() ? CStringTable::Str(IDS_MSG_OPEN_FAILED) : detail;
        break;
    }
  } catch (const std::bad_alloc&) {
    // The file, its decoded text or the box's copy did not fit in memory; the box keeps what
    // it had (the text goes in only after it was decoded in full).
    reason = CStringTable::Str(IDS_REASON_OUT_OF_MEMORY);
  }
  const QString message =
      CStringTable::FormatStrings(CStringTable::Str(IDS_CLI_CANNOT_READ), {QDir::toNativeSeparators(path), reason});
  if (const auto& hook = MessageHook()) hook(message);
  else qWarning("%s", qUtf8Printable(message));
  return false;
}

void CRichEdit2WView::SetMessageHook(std::function<void(const QString&)> hook) { MessageHook() = std::move(hook); }

int CRichEdit2WView::OpenFilterId() const { return IDS_FILTER_OPEN_TEXT; }

QString CRichEdit2WView::AddDefaultExtension(const QString& path, int filterIndex, const QStringList& extensions) {
  if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
  if (filterIndex < 1 || filterIndex > extensions.size()) return path;
  return path + extensions[filterIndex - 1];
}

void CRichEdit2WView::OnOpenText() {
  QStringList filters = CStringTable::ToQtFilters(CStringTable::Str(OpenFilterId()));
  QString selected = filters.value(0);
  QString path = QFileDialog::getOpenFileName(this, QString(), QString(), filters.join(QLatin1String(";;")), &selected);
  if (path.isEmpty()) return;
  if (!QFileInfo::exists(path)) {
    // Text files and all files get ".txt", workspaces ".rws".
    static const QStringList ext = {QStringLiteral(".txt"), QStringLiteral(".rws"), QStringLiteral(".txt")};
    path = AddDefaultExtension(path, filters.indexOf(selected) + 1, ext);
  }
  OpenTextFile(path);
}

void CRichEdit2WView::SetWorkspaceOpener(std::function<bool(const QString&)> opener) {
  WorkspaceOpener() = std::move(opener);
}

void CRichEdit2WView::SetWorkspaceSaver(std::function<bool(const QString&)> saver) {
  WorkspaceSaver() = std::move(saver);
}

bool CRichEdit2WView::SaveTextFile(const QString& path, const QString& text, QString* reason) {
  if (reason) reason->clear();
  if (path.endsWith(QLatin1String(".rws"), Qt::CaseInsensitive)) {
    const auto& saver = WorkspaceSaver();
    return saver ? saver(path) : false;
  }
  return CFileIo::WriteAll(path, CCodePage::ForReadableFile(text), reason) == EFileError::None;
}

void CRichEdit2WView::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && !IsBaseReadOnly()) {
    event->acceptProposedAction();
    return;
  }
  QPlainTextEdit::dragEnterEvent(event);
}

void CRichEdit2WView::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls() && !IsBaseReadOnly()) {
    event->acceptProposedAction();
    return;
  }
  QPlainTextEdit::dragMoveEvent(event);
}

void CRichEdit2WView::dropEvent(QDropEvent* event) {
  const QMimeData* m = event->mimeData();
  if (m->hasUrls() && !IsBaseReadOnly()) {
    // Only the first file counts.
    for (const QUrl& u : m->urls()) {
      if (u.isLocalFile()) {
        OpenTextFile(u.toLocalFile());
        break;
      }
    }
    event->acceptProposedAction();
    return;
  }
  QPlainTextEdit::dropEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Find and replace

CFindReplaceDialog* CRichEdit2WView::GetFindDialog() { return CFindReplaceDialog::Current(); }

void CRichEdit2WView::OnFind() { CFindReplaceDialog::Open(this, false); }

void CRichEdit2WView::OnReplace() {
  if (!isReadOnly()) CFindReplaceDialog::Open(this, true);
}

bool CRichEdit2WView::FindIn(QTextCursor* found, const QString& what, bool matchCase, bool wholeWord, bool down,
                             const QTextCursor& from) const {
  QTextDocument::FindFlags flags;
  if (matchCase) flags |= QTextDocument::FindCaseSensitively;
  if (wholeWord) flags |= QTextDocument::FindWholeWords;
  if (!down) flags |= QTextDocument::FindBackward;
  *found = document()->find(what, from, flags);
  return !found->isNull();
}

bool CRichEdit2WView::FindNext(const QString& what, bool matchCase, bool wholeWord, bool down) {
  if (what.isEmpty()) return false;
  QTextCursor from = textCursor();
  QTextCursor found;
  if (!FindIn(&found, what, matchCase, wholeWord, down, from)) {
    // Wrap around once: from the start going down, from the end going up.
    QTextCursor edge(document());
    if (!down) edge.movePosition(QTextCursor::End);
    if (!FindIn(&found, what, matchCase, wholeWord, down, edge)) return false;
  }
  setTextCursor(found);
  return true;
}

bool CRichEdit2WView::ReplaceCurrent(const QString& what, const QString& with, bool matchCase, bool wholeWord,
                                     bool down) {
  if (isReadOnly() || what.isEmpty()) return false;
  QTextCursor c = textCursor();
  // The selection is the current occurrence when it is exactly the searched text.
  QString sel = c.selectedText();
  bool current = c.hasSelection() && sel.compare(what, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
  if (current) {
    c.insertText(with);
    if (!down) c.setPosition(c.position() - with.size());
    setTextCursor(c);
  }
  return FindNext(what, matchCase, wholeWord, down) || current;
}

int CRichEdit2WView::ReplaceAll(const QString& what, const QString& with, bool matchCase, bool wholeWord) {
  if (isReadOnly() || what.isEmpty()) return 0;
  int count = 0;
  QTextCursor edit(document());
  edit.beginEditBlock();
  QTextCursor from(document());
  QTextCursor found;
  while (FindIn(&found, what, matchCase, wholeWord, true, from)) {
    found.insertText(with);  // the cursor now sits after the replacement
    from = found;
    ++count;
  }
  edit.endEditBlock();
  return count;
}
