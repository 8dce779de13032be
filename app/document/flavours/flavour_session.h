// CFlavourSession: the document's pattern in the chosen flavours (other languages' engines), for
// the Flavours pane. It holds the chosen flavours (a setting of the workspace), asks the flavour
// pool (app/flavours/flavour_pool.h) after each edit of the pattern, its options, the text box or
// the tests, and keeps the matrix of the newest request: one row for the text box, then one per
// test case; one column per chosen flavour, each cell compared with Korvane's own find-all.
//
// When it asks. Changed() (the document calls it after every edit that can change a row) starts
// a delay of kDelayMs, restarted by every further edit, so a run of keystrokes makes one request.
// Only while the pane is shown (SetActive): a hidden pane costs nothing, and an edit made while
// it is hidden is asked for when it is shown again. When the delay runs out the session takes the
// document's state through the source function and asks only when something changed since the
// last request (the same pattern, options, rows and flavours ask nothing). Nothing blocks the UI
// thread: the pool answers through its signals, flavour by flavour, and the newest request wins
// (answers of an older one are dropped here; the pool keeps them in its cache).
//
// Korvane's own column is asked with every request; it is the reference every cell is compared
// with, and not a column of the matrix.
//
// The summary counts columns whose answers are in (see Summary()).
//
// Threads: the UI thread only (the pool and its runners belong to it).
//
// Covered by app/document/flavours/tests/flavour_session_test.cpp (a fake runner) and
// flavour_engines_test.cpp (real engines, label "external").
#ifndef KORVANE_FLAVOUR_SESSION_H
#define KORVANE_FLAVOUR_SESSION_H

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/flavours/flavour_answer.h"
#include "app/flavours/flavour_compare.h"
#include "app/flavours/flavour_pool.h"

class QTimer;
class CFlavourTestCheck;

// One column of the matrix: a chosen flavour and, once it came, its answer for every row.
struct FlavourColumn {
  QString flavour;    // the table's name ("python")
  QString display;    // the name shown ("Python (re)")
  QString engine;     // as its runner last reported it (kept from earlier requests until a new answer)
  QString version;
  bool answered = false;
  FlavourAnswer answer;
};

// A cell as the pane shows it.
struct FlavourMatrixCell {
  bool waiting = true;  // the flavour's or Korvane's answer has not come yet
  FlavourCell cell;     // only when not waiting
};

class CFlavourMatrix {
 public:
  FlavourRequest request;        // pattern, flags and the rows' texts, as asked
  QStringList rowNames;          // one per row: the text box, then the tests' names
  bool korvaneAnswered = false;
  FlavourAnswer korvane;         // the reference
  std::vector<FlavourColumn> columns;

  int Rows() const { return static_cast<int>(request.subjects.size()); }
  int Columns() const { return static_cast<int>(columns.size()); }
  // Waiting for an index outside the matrix.
  FlavourMatrixCell Cell(int row, int column) const;
  // The answers of one row for the side-by-side view; null while not answered (or outside).
  const SubjectAnswer* KorvaneRow(int row) const;
  const SubjectAnswer* FlavourRow(int row, int column) const;

  // Counts of the columns whose answer is in (Korvane's too, for "same"):
  //   ran        the runner ran and compiled the pattern or refused it (compile error);
  //   compiled   of those, the ones that compiled it;
  //   same       of those, the ones whose every row is "same" as Korvane (a row that timed
  //              out, failed or could not be sent counts as not the same);
  //   missing    not installed; failed: the runner failed (neither ran);
  //   waiting    columns (all of them while Korvane's answer is out) still to answer.
  struct Counts {
    int ran = 0, compiled = 0, same = 0, missing = 0, failed = 0, waiting = 0;
  };
  Counts Count() const;
};

class CFlavourSession : public QObject {
  Q_OBJECT

 public:
  // The quiet time after the last edit before a request.
  static constexpr int kDelayMs = 150;
  // What a request is made of: the document's state when the delay ran out.
  struct Input {
    QString pattern;
    QString flags;        // Korvane's generic letters (i, m, s, x)
    QStringList rowNames;  // one per subject
    QStringList subjects;  // the text box, then every test's text
    // Per subject, the letters of the options it runs with when they are its own (a test with
    // its own options), else empty: it runs with `flags`. May be shorter than `subjects`.
    QStringList rowFlags;
  };
  using Source = std::function<Input()>;

  explicit CFlavourSession(QObject* parent = nullptr);
  ~CFlavourSession() override;

  void SetSource(Source source) { m_source = std::move(source); }
  // The document's state now, as a request would take it.
  Input CurrentInput() const { return m_source ? m_source() : Input(); }
  // The pool, made on first use (tests give it a launcher of fake runners).
  CFlavourPool& Pool();
  // The check of the tests in the flavours they must pass in (flavour_test_check.h), made on
  // first use; its runners start with the pool's launcher.
  CFlavourTestCheck& TestCheck();
  void SetDelay(int ms) { m_nDelayMs = ms < 0 ? 0 : ms; }

  // The flavours chosen by default: those of a preferred set (PCRE2, JavaScript, Python, Java,
  // .NET, Ruby, Perl, RE2, POSIX ERE) whose runtime is installed; the whole set when none is.
  static QStringList DefaultFlavours();
  // The generic letters of the document's option bits (only i, m, s and x have a meaning in
  // other engines; Global, Right to left and the rest are left out).
  static QString FlagLetters(int optionBits);
  const QStringList& Chosen() const { return m_chosen; }
  bool IsDefaultChoice() const { return m_chosen == DefaultFlavours(); }
  // Takes the flavours named, in the flavour table's order, each once; unknown names and
  // "korvane" (always the reference) are dropped. Emits ChosenChanged when the choice changed
  // and asks again (after the delay) when shown.
  void SetChosen(const QStringList& flavours);

  // The pane shown (true) or hidden. Showing asks at once when something changed meanwhile.
  void SetActive(bool active);
  bool IsActive() const { return m_bActive; }
  // The pane open in the window, seen or as a tab behind another: the pattern box, the tree and
  // the diagram mark what the chosen flavours read otherwise while it is (the marks come from the
  // knowledge table and need no engine). Emits ActiveChanged when it changes.
  void SetPaneOpen(bool open);
  bool IsPaneOpen() const { return m_bPaneOpen; }
  // The document changed: ask after the delay (while shown), else remember to.
  void Changed();
  // Asks now, without the delay, if something changed (also while hidden: tests, pictures).
  void RequestNow();
  // The user pointed a flavour at another interpreter (FlavourSettings::SetInterpreter): its
  // runner starts again with it, and the matrix is asked again (while shown).
  void InterpreterChanged(const QString& flavour);
  // Whether a request's answers are still out.
  bool IsBusy() const { return m_nRequest != 0 && m_bOpen; }
  // How many requests went to the pool (tests of the delay and of "nothing changed").
  int RequestsMade() const { return m_nRequestsMade; }

  const CFlavourMatrix& Matrix() const { return m_matrix; }
  // "compiles in 9 of 11 flavours, same results in 6", then "; 2 not installed", "; 1 failed",
  // "; waiting for 3" when there are such columns; "Waiting for 9 flavours..." while none has
  // answered; "No flavours chosen" without columns.
  QString Summary() const;

 signals:
  // The matrix changed: a new request (every cell waiting) or an answer.
  void MatrixChanged();
  void ChosenChanged();
  // The pane was shown or hidden, or opened or closed (the marks follow IsPaneOpen).
  void ActiveChanged();

 private:
  void Ask();
  void AskPart();
  void OnAnswered(quint64 request, const QString& flavour, const FlavourAnswer& answer);
  void OnAllAnswered(quint64 request);
  // A flavour's (or Korvane's) answer once every part has answered it.
  void TakeAnswer(const QString& flavour, const FlavourAnswer& answer);

  Source m_source;
  std::unique_ptr<CFlavourPool> m_pool;
  std::unique_ptr<CFlavourTestCheck> m_testCheck;  // goes before the pool whose launcher it took
  QTimer* m_pTimer = nullptr;  // owned as a child
  int m_nDelayMs = kDelayMs;
  QStringList m_chosen;
  bool m_bActive = false;
  bool m_bPaneOpen = false;
  bool m_bStale = true;      // an edit (or a new choice) came after the last request
  quint64 m_nRequest = 0;    // the pool's number of the newest request
  bool m_bOpen = false;      // its answers are still coming
  int m_nRequestsMade = 0;
  Input m_lastInput;
  QStringList m_lastFlavours;
  bool m_bAskedOnce = false;
  // The engine and version each flavour's runner last reported, for the header of a column
  // still waiting.
  std::map<QString, std::pair<QString, QString>> m_known;
  CFlavourMatrix m_matrix;
  // Rows that run with other options than the workspace's are asked in parts, one request per
  // set of options, one after the other (the pool keeps only the newest waiting request of a
  // flavour); the first part holds the rows with the workspace's options. The answers of the
  // parts are put together into one answer per column, row by row.
  struct Part {
    std::vector<int> rows;  // matrix rows, in the order of the part's subjects
    FlavourRequest request;
  };
  std::vector<Part> m_parts;
  size_t m_nPart = 0;  // the part asked now
  std::map<QString, std::vector<FlavourAnswer>> m_partAnswers;  // per flavour, the parts' answers so far
};

#endif
