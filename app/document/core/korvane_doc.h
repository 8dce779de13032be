// CKorvaneDoc: the one document. It owns the pattern (with its compiled graph and element
// records), the subject text, the replace-to text, the options, the work mode, the current
// element, the start point, the results of the current search, the replace result, and the
// state of the search running on its match worker. Views never run the engine: they call the
// document and redraw from its state when it notifies them.
//
// Threads. The UI thread runs every operation and command. The match worker runs the job
// bodies and the trace hook; the background worker waits for the fail-point check. Every
// operation that changes the document first stops a running or paused job (Reset), so the
// worker never sees the pattern, the texts or the match context change under it. Fields shared
// between threads say so next to them.
//
// Covered by app/document/core/tests/doc_test.cpp and trace_test.cpp.
#ifndef KORVANE_KORVANE_DOC_H
#define KORVANE_KORVANE_DOC_H

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/document/core/doc_ui.h"
#include "app/document/pattern/element_records.h"
#include "app/document/matching/fast_search.h"
#include "app/document/matching/match_record.h"
#include "app/document/matching/replace_result.h"
#include "app/document/matching/step_counts.h"
#include "korvane_ids.h"
#include "platform/disposal_thread.h"
#include "platform/events.h"
#include "platform/worker_thread.h"

class CExplanation;

// Update hint bits.
enum DocHint {
  HINT_RECOMPILED = 0x1,
  HINT_RECOLOR_PATTERN = 0x2,
  HINT_CURRENT_ELEMENT = 0x4,
  HINT_SUBJECT_REPLACED = 0x8,
  HINT_TEXT_HIGHLIGHTS = 0x10,
  HINT_RESULTS = 0x20,
  HINT_REPLACE_TO_REPLACED = 0x40,
  HINT_RECOLOR_REPLACE_TO = 0x80,
  HINT_CURRENT_TOKEN = 0x100,
  HINT_REPLACE_RESULT = 0x200,
  HINT_REPLACE_HIGHLIGHTS = 0x400,
  HINT_CURRENT_REPLACEMENT = 0x800,
  HINT_SPLIT_ROWS = 0x1000,
  HINT_PATTERN_REPLACED = 0x8000,
  HINT_CLIPS = 0x10000,
  HINT_FONTS = 0x20000,
  HINT_MODE = 0x40000,
  HINT_COUNTERS = 0x80000,
  HINT_SNAPSHOT_TREE = 0x100000,
  HINT_CURRENT_SNAPSHOT = 0x400000,
  HINT_TESTS = 0x1000000,        // the test set changed (added, removed, moved, renamed, edited, replaced)
  HINT_TEST_RESULTS = 0x2000000,  // test results changed (a run started, progressed or ended)
  HINT_BACKTRACK = 0x4000000      // the backtracking session took a report, rewrites or a check
};

// The combinations that are sent, named after the event. A search's results, with everything
// they show in: colours, highlights, the replace result, the split rows, Optimize's counts.
constexpr int HINTS_SEARCH_RESULTS = HINT_RECOLOR_PATTERN | HINT_TEXT_HIGHLIGHTS | HINT_RESULTS | HINT_REPLACE_RESULT |
                                     HINT_REPLACE_HIGHLIGHTS | HINT_CURRENT_REPLACEMENT | HINT_SPLIT_ROWS | HINT_COUNTERS;
// The same while the replace result stands as it was (a paused or single step, a check's result).
constexpr int HINTS_SEARCH_STEP = HINTS_SEARCH_RESULTS & ~HINT_REPLACE_RESULT;
// Another result shown (record navigation).
constexpr int HINTS_SHOWN_RESULT = HINT_TEXT_HIGHLIGHTS | HINT_RESULTS | HINT_REPLACE_HIGHLIGHTS | HINT_CURRENT_REPLACEMENT;
// A selection in the subject box chose a result or a gap.
constexpr int HINTS_SUBJECT_SELECTION = HINTS_SHOWN_RESULT & ~HINT_TEXT_HIGHLIGHTS;
// The pattern was edited or switched: recompiled, and nothing found with it yet.
constexpr int HINTS_PATTERN_EDITED = HINT_RECOMPILED | HINT_TEXT_HIGHLIGHTS | HINT_RESULTS | HINT_RECOLOR_REPLACE_TO |
                                     HINT_REPLACE_RESULT | HINT_SPLIT_ROWS;
// The subject was edited (or its start point moved): the results are gone.
constexpr int HINTS_SUBJECT_EDITED =
    HINT_SUBJECT_REPLACED | HINT_RESULTS | HINT_REPLACE_RESULT | HINT_SPLIT_ROWS | HINT_COUNTERS;
// The replace-to text was edited.
constexpr int HINTS_REPLACE_TO_EDITED = HINT_TEXT_HIGHLIGHTS | HINT_REPLACE_TO_REPLACED | HINT_REPLACE_RESULT;
// The replace-to box chose a token; the replace result box chose a replacement.
constexpr int HINTS_REPLACE_TO_SELECTION = HINT_RESULTS | HINT_CURRENT_TOKEN | HINT_CURRENT_REPLACEMENT;
constexpr int HINTS_REPLACE_RESULT_SELECTION = HINT_TEXT_HIGHLIGHTS | HINT_RESULTS | HINT_CURRENT_TOKEN;
// New fonts: every box lays out and recolours.
constexpr int HINTS_FONTS = HINT_RECOLOR_PATTERN | HINT_RECOLOR_REPLACE_TO | HINT_FONTS;
// A match option changed: recompiled with it, the results gone; every view shows it afresh.
constexpr int HINTS_OPTION_CHANGED = HINT_RECOMPILED | HINT_RECOLOR_PATTERN | HINT_TEXT_HIGHLIGHTS | HINT_RESULTS |
                                  HINT_REPLACE_RESULT | HINT_REPLACE_HIGHLIGHTS | HINT_CURRENT_REPLACEMENT |
                                  HINT_SPLIT_ROWS;
static_assert(HINTS_SEARCH_RESULTS == 0x81E32 && HINTS_SEARCH_STEP == 0x81C32 && HINTS_SHOWN_RESULT == 0xC30 &&
                  HINTS_SUBJECT_SELECTION == 0xC20 && HINTS_PATTERN_EDITED == 0x12B1 &&
                  HINTS_SUBJECT_EDITED == 0x81228 && HINTS_REPLACE_TO_EDITED == 0x250 &&
                  HINTS_REPLACE_TO_SELECTION == 0x920 && HINTS_REPLACE_RESULT_SELECTION == 0x130 &&
                  HINTS_FONTS == 0x20082 && HINTS_OPTION_CHANGED == 0x1E33,
              "the named combinations are the bits the views were written for");

// Command ids of the menus and bars that the document handles: the numbers of korvane_ids.h,
// under the names the document uses.
enum DocCommand {
  CMD_MODE_MATCH = ID_MODE_MATCH,
  CMD_MODE_REPLACE = ID_MODE_REPLACE,
  CMD_MODE_SPLIT = ID_MODE_SPLIT,
  CMD_MODE_TRACE = ID_MODE_TRACE,
  CMD_MODE_OPTIMIZE = ID_MODE_OPTIMIZE,
  CMD_RESET_FIND = ID_MATCH_RESET,
  CMD_SINGLELINE = ID_OPTION_SINGLELINE,
  CMD_MULTILINE = ID_OPTION_MULTILINE,
  CMD_IGNORECASE = ID_OPTION_IGNORECASE,
  CMD_GLOBAL = ID_OPTION_GLOBAL,
  CMD_RIGHTTOLEFT = ID_OPTION_RIGHTTOLEFT,
  CMD_EXTENDED = ID_OPTION_EXTENDED,
  CMD_CLASSIC = ID_OPTION_CLASSIC,
  CMD_ONLY_CURRENT_NODE = ID_MATCH_ONLY_CURRENT_NODE,
  CMD_ONLY_START_POINT = ID_MATCH_ONLY_START_POINT,
  CMD_FIND = ID_MATCH_FIND,
  CMD_FIND_ALL = ID_MATCH_FIND_ALL,
  CMD_SELECT_FONTS = ID_SELECT_FONTS,
  CMD_ADD_SNAPSHOT = ID_ADD_SNAPSHOT,
  CMD_STEP_MATCH = ID_MATCH_STEP,
  CMD_STEP_BACK = ID_MATCH_STEP_BACK,
  CMD_TOGGLE_BREAKPOINT = ID_MATCH_TOGGLE_BREAKPOINT,
  CMD_RUN_TO_FAILURE = ID_MATCH_RUN_TO_FAILURE,
  CMD_RUN_TO_BACKTRACK = ID_MATCH_RUN_TO_BACKTRACK,
  CMD_RUN_TO_NEXT_START = ID_MATCH_RUN_TO_NEXT_START,
  CMD_RUN_TO_ATTEMPT_END = ID_MATCH_RUN_TO_ATTEMPT_END,
  CMD_BACKGROUND_RESULT = ID_MATCH_BACKGROUND_RESULT,
  CMD_LOCATE_FAIL_POINT = ID_MATCH_LOCATE_FAIL_POINT,
  CMD_TEST_RESULTS = 32850,  // posted by the test runner: results are ready to take
  CMD_BACKTRACK_RESULTS = 32851,  // posted by the backtracking session's worker: the same
  CMD_FIRST_RECORD = ID_RECORD_FIRST,
  CMD_LAST_RECORD = ID_RECORD_LAST,
  CMD_NEXT_RECORD = ID_RECORD_NEXT,
  CMD_PREV_RECORD = ID_RECORD_PREV,
  CMD_FILE_SAVE = ID_FILE_SAVE,
  CMD_WAIT_DIALOG_CLOSE = 2,  // the cancel command that closes the wait dialog
  CMD_BACKGROUND_ENDED = 0    // posted by the fail-point check as its last act
};

enum WorkMode { MODE_MATCH = 1, MODE_REPLACE = 2, MODE_SPLIT = 3, MODE_TRACE = 4, MODE_OPTIMIZE = 5 };

// The pattern and what is compiled from it.
struct PatternState {
  std::vector<unsigned short> pattern;
  int flags = 0;
  HostRegexp compiled;
  // The same pattern for the direct search (fast_search.h), compiled with it. `sameGraph` says
  // that its element graph is `compiled`'s element for element (kind and span at every pool
  // index), so that an element of one stands for the same element of the other.
  CFastPattern direct;
  bool sameGraph = false;
  CElementTree records;
  // The sentences over `records` (explanation.h), rebuilt with them; made with the document.
  std::shared_ptr<CExplanation> explanation;
  // Rank of each element (by pool index) in the order a match walks the pattern: a composite
  // before its parts, parts in match order. The pool itself holds parts before their composite,
  // so the fail-point tracker, which needs "further along the pattern", uses this rank.
  std::vector<int> rank;
  bool startPointOnly = false;
};

// The furthest point a failing search reached. Indexes are the elements' ranks in match order
// (PatternState::rank).
struct FailPoint {
  int furthestIndex = 0;
  int successStart = 0;
  bool reluctantSeen = false;
  const HostElement* failElement = nullptr;
  const HostElement* previousElement = nullptr;
  int failAttemptStart = 0;
  int failRegionStart = 0;
  int elementDelta = 0;
  int failSpanStart = 0;
  int failSpanEnd = 0;
};

// Enable state, check mark and text of a command, for the frame's menus and bars.
struct CommandState {
  bool enabled = true;
  bool checked = false;
  int textId = 0;  // string id of the menu text when the command changes it, else 0
  int buttonTextId = 0;
};

class CBacktrackSession;
class CSnapshotTree;
class CTextClips;
struct Snapshot;
class CDebugSession;
struct HistoryCapture;
struct TraceStep;
class CTestSession;
class CFlavourSession;
struct WorkspaceData;

class CKorvaneDoc {
 public:
  explicit CKorvaneDoc(IDocumentUi* ui);
  ~CKorvaneDoc();
  CKorvaneDoc(const CKorvaneDoc&) = delete;
  CKorvaneDoc& operator=(const CKorvaneDoc&) = delete;

  // --- views and notifications ---
  void AddView(CDocView* view);
  void RemoveView(CDocView* view);
  // Updates every view but the sender with `hint`, then acts on the HINT_RESULTS and HINT_CLIPS
  // bits.
  void Notify(CDocView* sender, int hint);
  void UpdateAllViews(CDocView* sender, int hint);

  // --- texts ---
  void SetPattern(const unsigned short* text, int length, bool markModified);
  void SetSubjectText(const unsigned short* text, int length);
  void SetReplaceTo(const unsigned short* text, int length);
  const std::vector<unsigned short>& GetPattern() const { return m_pattern.pattern; }
  const std::vector<unsigned short>& GetSubjectText() const { return m_subject; }
  const std::vector<unsigned short>& GetReplaceTo() const { return m_replaceTo; }
  int GetFlags() const { return m_pattern.flags; }
  const HostRegexp& GetCompiled() const { return m_pattern.compiled; }
  const CElementTree& GetRecords() const { return m_pattern.records; }
  const CExplanation& GetExplanation() const { return *m_pattern.explanation; }
  // After a plugin rewrote the pattern through the element records: takes the rewritten text.
  void TakeRewrittenPattern();

  // --- selections ---
  void SelectPatternRange(int start, int end);
  void SetCurrentElement(const HostElement* element);
  void SetStartPoint(int position);
  void SelectSubjectRange(int start, int end);
  void SelectReplaceResultRange(int start, int end);
  void SelectReplaceToPosition(int caret);
  void SelectSplitPiece(int index);
  const HostElement* GetCurrentElement() const { return m_pCurrentElement; }
  int GetCurrentSpanStart() const { return m_nCurrentStart; }
  int GetCurrentSpanEnd() const { return m_nCurrentEnd; }
  int GetStartPoint() const { return m_nStartPoint; }
  int GetHighlightStart() const { return m_nHighlightStart; }
  int GetHighlightEnd() const { return m_nHighlightEnd; }
  int GetReplaceHighlightStart() const { return m_nReplaceHighlightStart; }
  int GetReplaceHighlightEnd() const { return m_nReplaceHighlightEnd; }
  bool IsOnlyCurrentNode() const { return m_bOnlyCurrentNode; }
  bool IsOnlyStartPoint() const { return m_bOnlyStartPoint; }
  // Classic backtracking: searches, traces and counters run as a backtracking engine without
  // the greedy repeats' shortcut over explored ends would (same matches, more steps). A
  // document option, saved in the workspace; off after New.
  bool IsClassic() const { return m_bClassic; }
  void SetClassic(bool on);
  // The backtracking session (backtrack_session.h): the analysis of a pattern and the rewrites
  // that fix it, on a worker of its own, asked for by the Backtracking pane. What its worker
  // finishes comes back as CMD_BACKTRACK_RESULTS, which the document takes (also inside the wait
  // for a job) and tells the views of with HINT_BACKTRACK (and HINT_RECOLOR_PATTERN when a report came).
  CBacktrackSession& Backtrack() { return *m_backtrack; }
  const CBacktrackSession& Backtrack() const { return *m_backtrack; }
  // Spans of the repeats the backtracking analysis holds responsible, which the pattern box
  // marks: those of the session's newest report; empty from a new request until its report.
  const std::vector<std::pair<int, int>>& GetBacktrackSpans() const;
  // The flavour session (flavour_session.h): the pattern in other languages' engines, for the
  // Flavours pane, which makes it active while shown. The document tells it of every edit of
  // the pattern, the options, the text box and the tests (UpdateAllViews), and hands it those
  // on request: the text box and every test's text, searched with the workspace's generic
  // options (i, m, s, x), a test with options of its own with its own. Its chosen flavours are saved in the workspace when they are not the default
  // choice; New and Open reset them to the default or the file's. A change of the choice made
  // by the user marks the document modified.
  CFlavourSession& Flavours() { return *m_flavours; }
  const CFlavourSession& Flavours() const { return *m_flavours; }

  // --- editing token: a view handing its edit to the document ---
  bool TakeEditingToken(CDocView* view);
  void ReleaseEditingToken(CDocView* view);

  // --- commands ---
  // Runs a command; returns whether it was handled (Find, Find All and Reset Find report "not
  // handled" after doing their work, so the frame can act on them too). While the document
  // waits on a job (IsWaiting) no command runs: it is reported handled and does nothing.
  bool OnCommand(int id);
  // True while the UI thread is inside the wait for a job (Find, Find All, Step, Continue). The
  // wait dispatches events, so anything may call in; a search started from there would run
  // inside the one being waited on and present its result twice. Nothing that starts a search
  // or changes the document may run then: OnCommand refuses, TakeEditingToken holds views back,
  // and the frame refuses its own commands and the closing of the window.
  bool IsWaiting() const { return m_nWaitDepth > 0; }
  CommandState QueryCommand(int id) const;

  // --- mode, layout shares, modified flag ---
  int GetMode() const { return m_nMode; }
  void SetMode(int mode);
  float GetPatternShare() const { return m_fPatternShare; }
  float GetTextShare() const { return m_fTextShare; }
  void SetShares(float pattern, float text) {
    m_fPatternShare = pattern;
    m_fTextShare = text;
  }
  bool IsModified() const { return m_bModified; }
  void SetModified(bool modified) { m_bModified = modified; }
  void OnNewDocument();
  void Clear();
  void Reset();

  // --- the two searches ---
  // Whether the next search is traced (the trace hook on every element entry and exit: history,
  // pauses, breakpoints, run counters, fail-point tracking, classic step counts) or direct (the
  // engine's untraced build, fast_search.h): traced in Trace and Optimize modes, with classic
  // backtracking, and for Step; direct otherwise. Both give the same matches and groups.
  bool SearchesTraced() const;

  // --- results (UI thread; safe while a job runs) ---
  int GetResultCount() const;
  MatchHandle GetResult(int index) const;
  std::vector<MatchHandle> GetResults() const;
  // Calls `visit` with the results under the results lock, without copying them (a copy of
  // hundreds of thousands of handles is as many reference count changes). `visit` must not
  // call back into the document.
  void VisitResults(const std::function<void(const std::vector<MatchHandle>&)>& visit) const;
  int RealMatchCount() const;
  MatchHandle GetCurrentResult() const;
  MatchHandle GetLastResult() const;
  // Where the shown (last) result stands in the results list: 10 i for entry i, 10 k - 5 for
  // the place between entries k - 1 and k, -1 outside the list.
  int LastResultSequence() const;
  const ReplaceResult& GetReplaceResult() const { return m_replaceResult; }
  // Waits until the results dropped so far are freed and their memory given back (a large
  // results list is freed on a thread of its own): for figures of memory use.
  void WaitForDisposal();
  std::vector<unsigned short> GetReplacedText() const;

  // --- job and trace state (UI thread) ---
  // What the match worker writes (the trace step, the match context, the run counters, the
  // fail point) may be read on the UI thread only while the worker cannot write it: while no job
  // runs, or while the job is paused. The accessors below say which.
  //
  // A user's search is running or paused (the fail-point check's own search does not count).
  bool IsJobActive() const { return m_matchWorker.IsBusy() && !m_bJobIsBackground; }
  // The match worker is blocked in the trace hook and stays so until the UI thread lets it go on.
  bool IsPaused() const { return m_bPaused.load(); }
  // The step a traced search is paused at (debug_session.h); null while no search is paused (a
  // running search rewrites the record at its next pause). While the user looks at an earlier
  // step of the history, that step.
  const TraceStep* PausedTraceStep() const;
  // The record itself: only while IsPaused() or no job runs.
  const TraceStep& GetTraceStep() const;
  // The trace stack as the views show it (outermost first): the live one, or the one of the
  // history step looked at. Only while IsPaused() or no job runs.
  const TraceStackEntry<unsigned short>* ShownTraceStack(int* depth) const;
  // Every group's capture at the shown step while a traced search is paused (the live one or
  // the history step looked at), else null.
  const std::vector<HistoryCapture>* ShownCaptures() const;

  // --- the debugger (debug_session.h; doc_debugger.cpp) ---
  // A search traced in Trace mode records every event in the debugger's history. While it is
  // paused the user can step back (Shift+F10) and jump (the slider) through the recorded steps,
  // which the views show as they were; Step goes forward through them and, past the last one,
  // lets the search go on. A fresh search, Reset and every edit forget the history. The
  // debugger also keeps the breakpoints (by pattern span). Read it, and change its breakpoints,
  // only while no job runs or the job is paused.
  CDebugSession& Debugger() { return *m_debug; }
  const CDebugSession& Debugger() const { return *m_debug; }
  // Shows the history's pause step at or before `index` (the slider); past the last recorded
  // event, the live pause. False when there is nothing to show (no paused traced search).
  bool ShowHistoryStep(std::int64_t index);
  bool StepBack();
  // Sets or clears the breakpoint on the current element; false when there is none.
  bool ToggleBreakpoint();
  // The element Run to Failure and Run to Backtrack aim at: while a traced search is paused, the
  // element of the step shown, unless the user has chosen a current element (caret, tree, group
  // list) at that very step; otherwise the current element. Null when there is none.
  const HostElement* RunToTarget() const;
  // Only while ShowsFailPoint() or no job runs.
  const FailPoint& GetFailPoint() const { return m_failPoint; }
  // Whether the views should mark the fail point now.
  bool ShowsFailPoint() const;
  bool IsLocateFailPoint() const { return m_bLocateFailPoint; }
  // Only while IsPaused() or no job runs.
  const HostContext& GetMatchContext() const { return m_ctx; }
  // The four run counters of an element (first attempts that succeeded, that failed, retries
  // that succeeded, that failed) as the views may read them: the element's own while no search
  // writes them (no job, or the job is paused), else four zeros. Views read the counters only
  // through this.
  const int* ElementCounters(const HostElement* element) const;
  // Step counts of the current search (step_counts.h): its total, the steps per start position
  // and what each result cost (MatchRecord::steps). Only while IsPaused() or no job runs.
  const CStepCounter& GetStepCounter() const { return m_steps; }
  // The steps the status bar shows: while a search is paused, those of the step under way;
  // else those of the shown result. `traced`, when given, receives which search counted them.
  std::uint64_t ShownSteps(bool* traced = nullptr) const;
  // Whether the current search's counts come from the traced search (Find All's message).
  bool StepsAreTraced() const { return m_bStepsTraced; }
  // The index in the results list of the match that cost the most steps (the first of equals),
  // or -1 when the list holds no match.
  int MostExpensiveResult() const;
  // The largest trace-stack depth allowed: the "StackOverflow" setting, read once per process.
  static int RecursionLimit();
  static void SetRecursionLimit(int limit);  // replaces the cached value (tests, settings)

  // --- snapshots (doc_files.cpp) ---
  // Snapshot of the current pattern and flags under the current snapshot, made current; sets
  // the modified flag. Returns the new id.
  int AddSnapshot(const std::vector<unsigned short>& name);
  // The "Add Snapshot" command: asks for a name (prefilled with the local time), then
  // AddSnapshot and Notify HINT_SNAPSHOT_TREE | HINT_CURRENT_SNAPSHOT. False when the dialog was cancelled.
  bool AddSnapshotWithDialog();
  // Takes the snapshot's flags and pattern (marking the document modified) and makes it
  // current; an unknown id does nothing.
  void SwitchToSnapshot(int id);
  void SetSnapshotName(int id, const std::vector<unsigned short>& name);
  void DeleteSnapshot(int id, bool withSubtree);
  const Snapshot* LookupSnapshot(int id) const;
  bool PatternDiffersFromCurrent() const;
  void ClearSnapshots();
  int GetCurrentSnapshot() const;
  // The tree (snapshot.h).
  const CSnapshotTree& GetSnapshots() const { return *m_snapshots; }

  // --- workspace files (doc_files.cpp) ---
  // The workspace file's bytes for the document as it is.
  std::string WorkspaceBytes() const;
  // Opening is two steps, so that a file is read completely before the open workspace is let
  // go of: ReadWorkspaceFile (or ParseWorkspace on bytes in memory) checks the whole file
  // without touching the document and says in words why it cannot be opened: the file does
  // not exist, cannot be read (the system's reason), is empty, is too large, is not a workspace,
  // or is damaged at byte N. LoadWorkspace then replaces the document with what was read.
  static bool ReadWorkspaceFile(const QString& path, WorkspaceData* data, QString* reason);
  static bool ParseWorkspace(const unsigned char* bytes, size_t size, WorkspaceData* data, QString* reason);
  // Clears the document and takes `data` over (its texts and snapshots are moved out). Tests
  // without a name get one ("Test N"); the document is unmodified afterwards.
  void LoadWorkspace(WorkspaceData* data);
  // Both steps on bytes in memory; false, with the document as it was, when they do not parse.
  bool LoadWorkspaceBytes(const unsigned char* bytes, size_t size);
  // The message of a failed open: "Cannot read FILE: reason", and that the open workspace is
  // kept (unless the window holds nothing yet).
  void ReportOpenFailure(const QString& path, const QString& reason);
  // File Open: both steps on a file. Any failure leaves the document as it was, shows the
  // message and returns false. On success the file becomes the document's file.
  bool OnOpenDocument(const QString& path);
  // Save: writes the workspace to a new file beside `path`, flushed to the disk, and renames it
  // into place, so a failed save keeps the previous file byte for byte. A failure shows a
  // message naming the file and the system's reason, keeps the modified flag and returns false.
  // On success the file becomes the document's file.
  bool OnSaveDocument(const QString& path);
  // The message of a failed save or export: the file, the system's reason, and that the file
  // on disk is as it was.
  void ReportWriteFailure(const QString& path, const QString& reason);
  const QString& GetPathName() const { return m_strPathName; }
  void SetPathName(const QString& path) { m_strPathName = path; }

  // --- text clips (text_clips.h); views change them, then Notify HINT_CLIPS ---
  CTextClips& GetClips() { return *m_clips; }
  const CTextClips& GetClips() const { return *m_clips; }
  // Called by the frame when it gets the focus: writes clip changes that are still unwritten,
  // reloads clips that another copy has rewritten and updates all views with HINT_CLIPS; then
  // shows the clips' notice, if any.
  void CheckClipsVersion();
  // A message box with the clips' notice (a clips file that cannot be read or written), if any.
  void ShowClipsNotice();

  // --- test cases (test_session.h) ---
  CTestSession& Tests() { return *m_testSession; }
  const CTestSession& Tests() const { return *m_testSession; }

  // --- the wait dialog's side of the protocol (UI thread) ---
  bool WaitDialogOpening();
  void WaitDialogClosed();
  void WaitDialogBreak();
  void WaitDialogProgress(int* count, int* position, int* range) const;

 private:
  friend struct DocTraceAccess;
  friend class CTestSession;  // the tests read the pattern, the subject and the snapshots
  enum { JOB_FIND = 1, JOB_FIND_ALL = 2, JOB_FAIL_POINT = 3 };
  // Which search context holds the search under way: both (freshly prepared, nothing found
  // yet), the traced one (m_ctx) or the direct one (m_direct).
  enum { LIVE_BOTH = 0, LIVE_TRACED = 1, LIVE_DIRECT = 2 };
  enum { WAIT_DONE = 0, WAIT_PAUSED = 1, WAIT_TIMEOUT = -1 };

  void Recompile();
  void ReparseReplaceTo();
  void UpdateCurrentElementFromSpan();
  // Breakpoints and run-to targets in the hook (match worker): pauses at this event when one
  // asks for it, and says whether it did.
  bool StopRequested(int event, HostContext* ctx, const HostElement* element, int outcome,
                     const TraceStackEntry<unsigned short>* stack, int depth);
  void PauseInHook(const TraceStep& t);
  void RunTo(int command);
  bool CanRunTo(int command) const;
  // Notes the pause (if any) at which the user chose the current element (RunToTarget).
  void NoteCurrentElementChosen();
  void ClearCounters();
  void PrepareFreshSearch();
  const HostElement* MatchRoot() const;
  MatchHandle NotMatchedSentinel() const;
  // Shows `h`, which stands at `sequence` (as LastResultSequence tells it).
  void SetLastResult(const MatchHandle& h, int sequence = -1);
  // Shows a place between matches: an empty result at `sequence` 10 k - 5 (between entries
  // k - 1 and k of the results list).
  void SetLastGap(int sequence);
  // The index of `h` in the results list, or -1.
  int IndexOfResult(const MatchHandle& h) const;
  // Appends `h` to the results list; when it is the shown result, its place is the new entry.
  void AppendResult(const MatchHandle& h);
  // Empties the results list and gives its memory back (UI thread, no job running); a large
  // list, and the replace result built from it, are freed on the disposal thread.
  void DropResults();
  void SetReplaceHighlightFromLast();
  void StopJob(int waitMs);
  // Lets a paused worker go on (it is marked not paused first, so that the UI never takes a
  // worker that is running again for a paused one).
  void ResumeWorker();
  void PlaceOfShownResult(int* before, int* after) const;

  // Searching (doc_search.cpp).
  void Find();
  void FindAll();
  void RecordNavigation(int id);
  void ToggleFlag(int bit);
  int RunJob(int kind, bool pauseAtStep, bool waitForIt);
  int WaitForJob(int initialMs);
  void JobBody();
  bool RunBody();
  void FinishJob();
  void TracedJobBody();
  void DirectJobBody();
  unsigned TakeJobSteps();
  void StoreStep(const MatchHandle& h, std::int64_t now, bool listed);
  // The fail-point check's job: the direct search's first step, and only when it finds nothing,
  // the traced search that locates where the pattern fails.
  void FailPointJobBody();
  // Hands the search under way to the context of the path about to run it.
  void MoveSearchTo(bool traced);
  bool DirectRootFor(const HostElement* root, int* index) const;
  static void DirectPoll(void* user, int attemptStart, std::uint64_t steps);
  void PresentSingleStep(bool fresh, bool messages);
  void PresentFindAll();
  void ShowFindAllMessage();
  void Message(int textId, double seconds, bool withNumber, const QString& secondLine = QString());
  QString FindAllStepsLine() const;

  // Tracing (doc_trace.cpp).
  static void TraceHookProc(int event, HostContext* ctx, const HostElement* element, int outcome,
                            const TraceStackEntry<unsigned short>* stack, int depth, void* user);
  void OnTraceExit(HostContext* ctx, const HostElement* element, int outcome,
                   const TraceStackEntry<unsigned short>* stack, int depth);
  void TrackFailPoint(HostContext* ctx, const HostElement* element, int outcome,
                      const TraceStackEntry<unsigned short>* stack, int depth);
  void Continue();
  void StepMatch();
  void StartBackgroundCheck();
  void StopBackgroundCheck();
  void BackgroundBody();
  void OnBackgroundResult();
  void OnBackgroundEnded();
  void ClearTraceState();
  void RankElements();
  int Rank(const HostElement* e) const;

  // The debugger (doc_debugger.cpp).
  bool ViewHistory(std::int64_t index);
  void NoteHistoryDrops();


  IDocumentUi* m_pUi;
  std::vector<CDocView*> m_views;

  // Document state, written by the UI thread only. The match worker reads the pattern state
  // (flags and compiled pattern included) and the subject text during a job, so whatever
  // changes them stops the job first (Reset, Clear), and only then writes.
  PatternState m_pattern;
  std::vector<unsigned short> m_subject;
  std::vector<unsigned short> m_replaceTo;
  int m_nMode = MODE_MATCH;
  float m_fPatternShare = 0.2f;
  float m_fTextShare = 0.5f;
  const HostElement* m_pCurrentElement = nullptr;
  int m_nCurrentStart = 0;
  int m_nCurrentEnd = 0;
  bool m_bOnlyCurrentNode = false;
  bool m_bOnlyStartPoint = false;
  bool m_bClassic = false;  // mirrored into m_ctx.m_bClassic
  int m_nStartPoint = -1;
  int m_nHighlightStart = 0;
  int m_nHighlightEnd = 0;
  int m_nReplaceHighlightStart = 0;
  int m_nReplaceHighlightEnd = 0;
  ReplaceResult m_replaceResult;
  CDocView* m_pEditHolder = nullptr;
  CDocView* m_pEditWaiting = nullptr;
  bool m_bLocateFailPoint = true;
  bool m_bModified = false;

  // The match context: written by the UI thread while no job runs (PrepareFreshSearch) and by
  // the match worker during a job; read by the UI only while the job is paused or done.
  HostContext m_ctx;
  const HostElement* m_pJobRoot = nullptr;  // written by the UI before a job, read by the worker
  // The direct search, and which context holds the search under way (LIVE_...): written by the
  // UI thread while no job runs and by the match worker during a job, like m_ctx. The job's
  // path (m_bJobTraced) and the direct search's root (m_nDirectRoot, -1: the pattern's) are set
  // by the UI before the job starts.
  CFastSearch m_direct;
  int m_nLive = LIVE_BOTH;
  bool m_bJobTraced = true;
  int m_nDirectRoot = -1;
  std::uint64_t m_nDirectStepsTaken = 0;  // the direct search's steps already in m_steps
  bool m_bStepsTraced = true;             // the current search's counts are the traced search's

  // Results. Written by the match worker during a job and by the UI otherwise; guarded by
  // m_resultsMutex for readers on the UI thread while a job runs.
  mutable std::mutex m_resultsMutex;
  std::vector<MatchHandle> m_results;
  // How far MostExpensiveResult has looked through m_results, and what it found: the list only
  // grows between the drops that begin a search (seen as a different first record), so each
  // look goes on from the last. Guarded by m_resultsMutex; the worker looks after each batch.
  struct CostliestScan {
    const MatchRecord* first = nullptr;
    size_t scanned = 0;
    int best = -1;
  };
  mutable CostliestScan m_costliest;
  void ScanCostliestLocked() const;
  MatchStore m_store;  // where Find All's records live: the worker's during a job
  MatchHandle m_currentResult;
  MatchHandle m_lastResult;
  int m_nLastSequence = -1;  // m_lastResult's place in m_results (LastResultSequence)

  // The job. Unless said otherwise a field is written by the UI thread before the job starts
  // (WorkerThread::Run orders that before the job) and read by the worker during it.
  int m_nJobKind = JOB_FIND;
  bool m_bJobIsBackground = false;           // the job was started by the fail-point check (UI thread only)
  int m_nWaitDepth = 0;                      // waits for a job under way (UI thread only)
  double m_dTotalElapsed = 0;                // Find All's time: written by the worker before done, read by the UI after
  // The job's clock (CTimeStamps::Process stamps), worker only: its start, and the stamp of the
  // last result stored (or of the abort). Both move on by the time spent paused in the hook, so
  // that elapsed times count the search's running time alone.
  std::int64_t m_nJobStart = 0;
  std::int64_t m_nJobEnd = 0;
  // The direct Find All times each result with the cheaper tick clock (CTickClock): the tick of
  // the last result stored, or of the job's start. Worker only, like m_nJobEnd.
  std::uint64_t m_nJobEndTick = 0;
  // A direct search starts on the UI thread (RunJob) until this stamp: m_bInline is set and
  // cleared by the UI thread around that part, and read by the poll on the thread that searches.
  // Once the stamp has passed, the part ends as soon as a new attempt has begun (the attempt under
  // way when it passed, m_nInlineAttempt, or -1 before), or at the latest at m_nInlineLatest.
  bool m_bInline = false;
  std::int64_t m_nInlineUntil = 0;
  std::int64_t m_nInlineLatest = 0;
  int m_nInlineAttempt = -1;
  std::atomic<bool> m_bAbort{false};         // set by the UI and the check, read by the hook at every entry
  std::atomic<bool> m_bPauseAtStep{false};   // set by the UI and the wait dialog, read by the hook at every exit
  // The worker is blocked in the hook: set by the worker (after it wrote the debugger's live step, before it
  // signals the paused event), cleared by whoever lets it go on, before the resume event
  // (ResumeWorker). So while the UI sees it set, nothing the worker writes can change.
  std::atomic<bool> m_bPaused{false};
  bool m_bFindAllFinished = false;           // UI thread: the last Find All ran to the end (not broken off)
  std::atomic<bool> m_bStackOverflow{false}; // set by the worker: the recursion guard fired; read by the UI after
  std::mutex m_dialogLock;                   // orders the end of a job against the dialog's start
  bool m_bDone = false;                      // guarded by m_dialogLock
  bool m_bDialogOpen = false;                // guarded by m_dialogLock
  CManualResetEvent m_doneEvent;
  CManualResetEvent m_pausedEvent;
  CManualResetEvent m_resumeEvent;
  CManualResetEvent m_backgroundDoneEvent;
  // Results so far and where the search is, for the wait dialog: set by the UI when a job starts
  // (from the results list), advanced by the Find All job, read by the dialog.
  std::atomic<int> m_nProgressCount{0};
  std::atomic<int> m_nProgressPosition{0};

  // Trace state. The debugger's live step is written by the worker in the hook just before it
  // pauses, and read by the UI while the worker is paused (PausedTraceStep). m_failPoint is written by the
  // worker during the first step of a fresh search and by the UI while no job runs; the UI reads
  // it only while no job runs (ShowsFailPoint). The per-element run counters live in the
  // compiled elements; the worker writes them during every job, the UI zeroes them while no job
  // runs, and views read them only through ElementCounters.
  FailPoint m_failPoint;
  // Steps of the current search: counted by the worker in the hook during a job, cleared by the
  // UI with a fresh search (PrepareFreshSearch), read by the UI while no job runs or it is paused.
  CStepCounter m_steps;
  // The debugger: the trace history, the history step looked at, the breakpoints and the live
  // pause's step (its own threading note). Made in the constructor, never null.
  std::unique_ptr<CDebugSession> m_debug;
  std::atomic<bool> m_bBackgroundPending{false};  // set by the check: a result waits for the UI
  // Set by the check when its search ran out of time; taken by the UI at the check's end, which
  // then clears the fail element (the check's own thread never touches m_failPoint).
  std::atomic<bool> m_bCheckGaveUp{false};

  WorkerThread m_matchWorker;
  WorkerThread m_backgroundWorker;
  // Frees dropped results on a thread of its own (DropResults); holds nothing the UI reads.
  DisposalThread m_disposal;

  // The test cases and their runs (UI thread only; the runner has its own threading note).
  std::unique_ptr<CTestSession> m_testSession;

  // The backtracking session and its worker (its own threading note).
  std::unique_ptr<CBacktrackSession> m_backtrack;
  std::unique_ptr<CFlavourSession> m_flavours;
  bool m_bLoadingFlavours = false;  // the choice is being set from a file or to the default

  // Snapshots, the document's file and the clips (UI thread only).
  // Made in the constructor, never null.
  std::unique_ptr<CSnapshotTree> m_snapshots;
  QString m_strPathName;
  std::unique_ptr<CTextClips> m_clips;
};

#endif
