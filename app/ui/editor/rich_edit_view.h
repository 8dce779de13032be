// CRichEdit2WView: the common base of every text box (pattern, subject text, replace-to, replace
// result). A QPlainTextEdit that is also a document view. It provides:
//   - quiet changes (CQuietChange): programmatic text or colour changes that never reach the
//     undo history, never mark the text modified and never count as an edit of the user;
//   - the placeholder text, shown while the box is empty and has no focus (the box then still
//     counts as empty towards the document);
//   - the shared modeless find/replace dialog;
//   - opening text files (byte-order-mark rules) and dropped files;
//   - the standard edit commands with their enabling rules;
//   - the 350 ms edit-to-document timer that claims the document's editing token and then calls
//     CommitEdit() once, after the last keystroke;
//   - undo steps of a word: the control merges all typing at one place into one undo step, so
//     one Undo took back minutes of work. A new step starts where a word begins, at a line
//     break and after a pause in typing (kUndoPauseMs); the caret moving elsewhere starts one
//     anyway;
//   - large texts, in the boxes that hold them (HandlesLargeTexts: the subject and the replace
//     result): a line longer than FoldAt() characters is shown as paragraphs of FoldPiece()
//     characters (folded),
//     because the control lays out a paragraph as one piece and a long wrapped one freezes the
//     window on every relayout. The folds exist only in the control: every position the box
//     exchanges with the document goes through DocToBox / BoxToDoc, GetBoxText leaves the
//     folds out, and while folded the box is read-only with a note above the text whose link
//     puts the real text back. A text longer than two chunks is put in chunk by chunk from a
//     zero timer (read-only meanwhile; GetBoxText gives the whole text at once), and a text of
//     more than NoWrapBlocks() paragraphs is not wrapped.
// Colours are never written into the text itself: derived classes paint through a
// QSyntaxHighlighter or extra selections, so undo and the modified flag stay untouched.
//
// Covered by app/ui/editor/tests/rich_edit_view_test.cpp.
#ifndef KORVANE_RICH_EDIT_VIEW_H
#define KORVANE_RICH_EDIT_VIEW_H

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPointer>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

#include "app/document/core/doc_ui.h"
#include "app/ui/shared/frame_services.h"

class CKorvaneDoc;
class CFindReplaceDialog;
class QLabel;

class CRichEdit2WView : public QPlainTextEdit, public CDocView, public IViewCommands {
  Q_OBJECT

 public:
  explicit CRichEdit2WView(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CRichEdit2WView() override;

  CKorvaneDoc* GetDocument() const { return m_pDoc; }

  // Document updates; the base reacts to nothing. Derived views override.
  void OnUpdate(CDocView* sender, int hint) override;

  // --- text as the document sees it ---
  // The box's text with every line break as a line feed; empty while the placeholder shows.
  QString GetBoxText() const;
  std::vector<unsigned short> GetBoxTextU16() const;
  // Replaces the whole text in a quiet change (not an edit of the user: no edit timer, no
  // modified flag). The caret and selection are kept where the new text allows. The control's
  // undo history is emptied, since it described the old text.
  void SetBoxText(const QString& text, bool keepSelection = true);
  // Builds a text a part at a time: each call writes on into `text` (empty at the first call)
  // and returns true once the text is complete.
  using TextBuilder = std::function<bool(QString& text)>;
  // As SetBoxText with the text that `build` makes, built soon after, a part per event: for a
  // text of tens of megabytes, whose building and fill planning would otherwise hold the window
  // in the same call as the change that asked for it. Until then the box counts as filling
  // (IsFilling); GetBoxText and TextLength finish the text at once when asked.
  void SetBoxTextSoon(TextBuilder build, bool keepSelection = true);
  // Replaces the whole text as an ordinary, undoable edit of the user (opening a file). A
  // text this box folds or fills in chunks is set like SetBoxText and then handed over as an
  // edit; it cannot be undone.
  void ReplaceTextAsEdit(const QString& text);

  // --- large texts ---
  // Whether this box folds long lines and fills large texts in chunks. The base: no.
  virtual bool HandlesLargeTexts() const { return false; }
  // The length of the text as the document sees it (GetBoxText().size(), without building it).
  int TextLength() const;
  // Position maps between the document's text and the control's text. A position at a fold
  // maps to the start of the paragraph after the fold break, or with `end` (the end of a
  // span) to the end of the paragraph before it. Identity while nothing is folded.
  int DocToBox(int position, bool end = false) const;
  int BoxToDoc(int position) const;
  // The control's selection in document positions (start <= end).
  std::pair<int, int> DocSelection() const;
  // Selects [anchor, position) given in document positions, clamped to the text, in a quiet
  // change; while a fill runs, the selection is set (and brought into view) when the text is
  // complete.
  void SetDocSelectionQuietly(int anchor, int position);
  // The fold positions (document positions that start a folded paragraph), ascending.
  const std::vector<int>& Folds() const { return m_folds; }
  bool IsFolded() const { return !m_folds.empty(); }
  // Whether a chunked fill is still putting the text in, or a text set with SetBoxTextSoon is
  // still to be built.
  bool IsFilling() const { return m_fillTimer.isActive(); }
  // Puts the text back without folds and makes the box editable again (the note's link). The
  // box stays unfolded until it is emptied or a file is opened into it.
  void Unfold();
  // The read-only state of the box apart from folding and filling.
  bool IsBaseReadOnly() const;
  // Thresholds: lines longer than FoldAt() are folded into paragraphs of FoldPiece() characters;
  // above NoWrapBlocks() paragraphs the box does not wrap; a text longer than 2 x FillChunk() is
  // put in chunk by chunk. The pieces are shorter than the threshold because painting a wrapped
  // paragraph costs with the number of its lines times its highlights: 8192 took 100 ms a
  // repaint with a match every eight characters, 1024 about 30 (large_subject_bench).
  static constexpr int kFoldAt = 8192;
  static constexpr int kFoldPiece = 1024;
  static constexpr int kNoWrapBlocks = 100000;
  static constexpr int kFillChunk = 262144;
  static int FoldAt();
  static int FoldPiece();
  static int NoWrapBlocks();
  static int FillChunk();
  // Tests: smaller thresholds (0 restores the default of each).
  static void SetLargeTextLimitsForTest(int foldAt, int noWrapBlocks, int fillChunk, int foldPiece = 0);
  // The fold positions `text` would get: every `piece` characters of a paragraph longer than
  // `foldAt`, never between the halves of a surrogate pair.
  static std::vector<int> FoldPositions(const QString& text, int foldAt, int piece);

  // --- placeholder ---
  void SetPlaceholder(const QString& text);
  QString GetPlaceholder() const { return m_placeholder; }
  bool IsPlaceholderShown() const;

  // --- quiet changes and the busy counter ---
  // While the busy counter is above zero, text and selection notifications of the control are
  // not treated as the user's (no edit timer, no selection handling).
  bool IsBusy() const { return m_nBusy > 0; }
  void BeginQuietChange();
  void EndQuietChange();

  // --- edit commands (ids of korvane_ids.h: ID_EDIT_UNDO ... ID_EDIT_SELECT_ALL, Open, Save As) ---
  // Whether this box handles the command at all.
  virtual bool HandlesCommand(int id) const;
  // Enabling rules of the standard edit commands.
  virtual bool IsCommandEnabled(int id) const;
  // Carries out a command; false when this box does not handle it.
  virtual bool DoCommand(int id);
  // The same three as IViewCommands, so that context menus ask every view alike.
  bool HandlesViewCommand(int id) const override { return HandlesCommand(id); }
  CommandState QueryViewCommand(int id) const override;
  bool OnViewCommand(int id) override { return DoCommand(id); }
  // The context menu template of this box (the frame's menus 145, 144 or 135).
  virtual int ContextMenuTemplate() const;

  // --- files ---
  // Decodes a text file: EF BB BF UTF-8, FF FE UTF-16 LE, FE FF UTF-16 BE (each without the
  // mark), anything else in the system code page.
  static QString DecodeTextFile(const QByteArray& bytes);
  // Opens a text file into the box as an ordinary edit. A ".rws" name (any case) goes to the
  // workspace opener instead. A file that cannot be read (missing, too large, out of memory)
  // leaves the box unchanged and is reported through the message hook as "Cannot read FILE:
  // reason" (false).
  bool OpenTextFile(const QString& path);
  // The frame's hook that shows a warning to the user; without one, failures are only logged.
  static void SetMessageHook(std::function<void(const QString&)> hook);
  // Asks for a file with the open filter (string 293) and opens it.
  void OnOpenText();
  // Hooks the frame installs: open / save a workspace document by path (true when it worked).
  static void SetWorkspaceOpener(std::function<bool(const QString&)> opener);
  static void SetWorkspaceSaver(std::function<bool(const QString&)> saver);
  // Appends the extension a file dialog's filter (index from 1) gives to a name without one.
  static QString AddDefaultExtension(const QString& path, int filterIndex, const QStringList& extensions);
  // Writes text for people to read: system code page, CR LF line ends, written beside and renamed.
  // A ".rws" path goes to the workspace saver, which reports its own failure; for a text file
  // that could not be written, `reason` receives the system's reason.
  static bool SaveTextFile(const QString& path, const QString& text, QString* reason = nullptr);

  // --- find and replace (one dialog for all boxes) ---
  void OnFind();
  void OnReplace();
  // Finds the next occurrence from the selection; selects it and returns true when found.
  bool FindNext(const QString& what, bool matchCase, bool wholeWord, bool down);
  // Replaces the selection if it is an occurrence of `what`, then finds the next.
  bool ReplaceCurrent(const QString& what, const QString& with, bool matchCase, bool wholeWord, bool down);
  // Replaces every occurrence as one undoable edit; returns how many.
  int ReplaceAll(const QString& what, const QString& with, bool matchCase, bool wholeWord);
  static CFindReplaceDialog* GetFindDialog();

  // Milliseconds between the last keystroke and handing the text to the document.
  static constexpr int kEditDelayMs = 350;
  // A pause in typing this long starts a new undo step.
  static constexpr int kUndoPauseMs = 1000;
  // Whether typing `typed` after `before` (the character before the caret; a null character at
  // the start) starts a new undo step, `sinceLastMs` after the last typed character (negative:
  // none yet).
  static bool StartsUndoStep(QChar before, QChar typed, qint64 sinceLastMs);
  // Whether an edit waits for the timer.
  bool IsEditPending() const { return m_editTimer.isActive(); }

 protected:
  // Called when the edit timer fired and the editing token was taken: hand the text to the
  // document. The base does nothing.
  virtual void CommitEdit();
  // A selection change by the user (not while busy).
  virtual void OnUserSelectionChanged();
  // A text change by the user (not while busy), before the edit timer restarts.
  virtual void OnUserTextChanged(int position, int removed, int added);
  // Shows this box's context menu (ContextMenuTemplate) at the global position.
  void ShowContextMenu(const QPoint& globalPos);
  // The filter of this box's Open dialog.
  virtual int OpenFilterId() const;
  // Called when the whole text is in the control (at once, or after the last chunk of a fill),
  // with the selection restored; derived boxes repaint what depends on the control's text.
  virtual void OnBoxTextComplete();
  QMimeData* createMimeDataFromSelection() const override;
  void resizeEvent(QResizeEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;

  CKorvaneDoc* m_pDoc;  // not owned; outlives the view

 private:
  void OnContentsChange(int position, int removed, int added);
  // Puts `text` into the control in a quiet change, folded when `fold`, in chunks when long.
  void FillBox(const QString& text, bool fold, int anchor, int position, int scroll, bool keepSelection);
  void CurrentPlace(int* anchor, int* position, int* scroll) const;
  void FillNextChunk();
  void BuildPendingText();
  // The pending text, finished now.
  const QString& PendingTextNow() const;
  void FinishFill();
  void SetLocked(bool locked);
  void UpdateFoldNote();
  void UpdateWrapMode(qsizetype blocks);
  void PlaceFoldNote();
  void OnCursorPositionChanged();
  void UpdatePlaceholderShown();
  bool FindIn(QTextCursor* found, const QString& what, bool matchCase, bool wholeWord, bool down,
              const QTextCursor& from) const;

  QString m_placeholder;
  int m_nBusy = 0;
  bool m_bSavedModified = false;
  bool m_bSavedReadOnly = false;
  int m_nLastSelStart = -1;
  int m_nLastSelEnd = -1;
  int m_nLastRevision = -1;  // the document's revision at the last edit seen
  QBasicTimer m_editTimer;
  // Large texts. m_folds: document positions that start a folded paragraph; m_foldsInBox: the
  // control position of each fold's break (m_folds[i] + i).
  std::vector<int> m_folds;
  std::vector<int> m_foldsInBox;
  bool m_bUnfoldedByUser = false;   // "Edit anyway": no folding until emptied or a file opens
  bool m_bLocked = false;           // read-only because of folding or filling
  bool m_bBaseReadOnly = false;     // the read-only state without the lock (while locked)
  bool m_bForcedNoWrap = false;     // wrapping switched off for a text of many paragraphs
  QPlainTextEdit::LineWrapMode m_baseWrap = QPlainTextEdit::WidgetWidth;
  // A chunked fill: the control text still to put in from m_fillPos, the document's text it
  // stands for, and the selection to restore at the end.
  QBasicTimer m_fillTimer;
  QString m_fillBoxText;
  QString m_fillDocText;
  int m_fillPos = 0;
  int m_fillAnchor = 0;
  int m_fillPosition = 0;
  int m_fillScroll = 0;
  bool m_fillKeepSelection = false;
  bool m_fillShowSelection = false;  // a selection set during the fill is shown at its end
  bool m_fillUndoWasEnabled = false;
  // A text set with SetBoxTextSoon and not built yet (the fill timer runs meanwhile).
  TextBuilder m_pendingText;
  // What it has built so far, and whether that is all of it (finished early by a const reader).
  mutable QString m_pendingBuilt;
  mutable bool m_pendingComplete = false;
  QLabel* m_pFoldNote = nullptr;  // owned by the box (a child widget)
  QElapsedTimer m_lastTyped;  // since the last character typed (undo steps)
};

// RAII form of BeginQuietChange / EndQuietChange.
class CQuietChange {
 public:
  explicit CQuietChange(CRichEdit2WView* view) : m_pView(view) { m_pView->BeginQuietChange(); }
  ~CQuietChange() { m_pView->EndQuietChange(); }
  CQuietChange(const CQuietChange&) = delete;
  CQuietChange& operator=(const CQuietChange&) = delete;

 private:
  CRichEdit2WView* m_pView;
};

#endif
