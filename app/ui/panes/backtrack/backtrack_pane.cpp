// The Backtracking pane (see backtrack_pane.h).
#include "app/ui/panes/backtrack/backtrack_pane.h"

#include <QBoxLayout>
#include <QEvent>
#include <QResizeEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QAbstractSeries>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QValueAxis>

#include "app/document/backtrack/backtrack_session.h"
#include "app/document/backtrack/backtrack_text.h"
#include "app/document/core/korvane_doc.h"
#include "app/document/core/test_session.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {
// From this width on the chart stands right of the words.
const int kSideBySideWidth = 760;
}  // namespace

namespace {

QString Printable(const std::u16string& s) { return backtrack::Quoted(s); }

QString FromU16(const std::u16string& s) { return QString::fromUtf16(s.data(), static_cast<int>(s.size())); }

}  // namespace

CBacktrackPane::CBacktrackPane(CKorvaneDoc* doc, QWidget* parent) : QWidget(parent), m_pDoc(doc) {
  setObjectName(QStringLiteral("backtrack-pane"));
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  // Everything scrolls: the pane's own minimum stays small whatever it shows.
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName(QStringLiteral("backtrack-scroll"));
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  outer->addWidget(scroll);
  auto* content = new QWidget(scroll);
  content->setObjectName(QStringLiteral("backtrack-content"));
  // The words on the left and the chart on the right where the pane is wide, one under the
  // other where it is narrow (resizeEvent).
  m_pColumns = new QBoxLayout(QBoxLayout::TopToBottom, content);
  m_pColumns->setContentsMargins(4, 4, 4, 4);
  auto* layout = new QVBoxLayout;
  m_pColumns->addLayout(layout, 3);
  m_pVerdict = new QLabel(content);
  m_pVerdict->setObjectName(QStringLiteral("verdict"));
  QFont bold = m_pVerdict->font();
  bold.setBold(true);
  m_pVerdict->setFont(bold);
  m_pNote = new QLabel(content);
  m_pNote->setObjectName(QStringLiteral("changed-note"));
  m_pNote->setWordWrap(true);
  m_pNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_pNote->hide();
  m_pRepeats = new QLabel(content);
  m_pRepeats->setObjectName(QStringLiteral("repeats"));
  m_pRepeats->setWordWrap(true);
  m_pRepeats->setTextFormat(Qt::RichText);
  m_pRepeats->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
  connect(m_pRepeats, &QLabel::linkActivated, this, [this](const QString& link) { SelectRepeat(link.toInt()); });
  m_pWitness = new QLabel(content);
  m_pWitness->setObjectName(QStringLiteral("witness"));
  m_pWitness->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_pWitness->setWordWrap(true);
  auto* row = new QHBoxLayout;
  m_pPump = new QSpinBox(content);
  m_pPump->setRange(1, 5000);
  m_pPump->setValue(20);
  m_pPump->setPrefix(QStringLiteral("n = "));
  m_pLoad = new QPushButton(CStringTable::Str(IDS_BT_LOAD_WITNESS), content);
  m_pLoad->setObjectName(QStringLiteral("load-witness"));
  connect(m_pLoad, &QPushButton::clicked, this, [this] { LoadWitness(m_pPump->value()); });
  row->addWidget(m_pPump);
  row->addWidget(m_pLoad);
  row->addStretch(1);
  m_pChart = new QChartView(content);
  m_pChart->setRenderHint(QPainter::Antialiasing);
  m_pChart->setMinimumHeight(160);
  m_pChart->hide();
  for (QWidget* w : std::initializer_list<QWidget*>{m_pRepeats, m_pWitness, m_pPump, m_pLoad}) w->hide();
  layout->addWidget(m_pVerdict);
  layout->addWidget(m_pNote);
  layout->addWidget(m_pRepeats);
  layout->addWidget(m_pWitness);
  layout->addLayout(row);
  m_pFixBox = new QWidget(content);
  m_pFixBox->setObjectName(QStringLiteral("fixes"));
  auto* fixLayout = new QVBoxLayout(m_pFixBox);
  fixLayout->setContentsMargins(0, 0, 0, 0);
  m_pFixHeading = new QLabel(m_pFixBox);
  m_pFixHeading->setWordWrap(true);
  fixLayout->addWidget(m_pFixHeading);
  m_pFixBox->hide();
  layout->addWidget(m_pFixBox);
  layout->addStretch(1);
  m_pColumns->addWidget(m_pChart, 2);
  scroll->setWidget(content);
  m_pDoc->AddView(this);
  Request();
}

CBacktrackPane::~CBacktrackPane() { m_pDoc->RemoveView(this); }

void CBacktrackPane::OnUpdate(CDocView*, int hint) {
  // Recompiled (also after an option change), or replaced; or the tests changed, which the
  // proven fixes are compared on.
  if (hint & (HINT_RECOMPILED | HINT_PATTERN_REPLACED | HINT_TESTS)) Request();
  if (hint & HINT_BACKTRACK) TakeFromSession();
}

void CBacktrackPane::Request() {
  const std::vector<unsigned short>& p = m_pDoc->GetPattern();
  std::u16string pattern(p.begin(), p.end());
  m_pattern = pattern;
  if (pattern != m_changedPattern) {  // the pattern a rewrite made is gone: so is its note
    m_changedPattern.clear();
    m_changedNote.clear();
  }
  m_analysing = true;
  m_lookingForFixes = false;
  m_staleNote = false;
  m_fixes.clear();
  ClearFixRows();
  m_pFixBox->hide();
  m_pVerdict->setText(CStringTable::Str(IDS_BT_ANALYSING));
  // The session drops the marks of the last pattern's report, and takes the tests as the
  // document's shared set and of the text box what a fix is compared on.
  m_pDoc->Backtrack().Request(pattern, m_pDoc->GetFlags(), m_pDoc->Tests().Shared(), m_pDoc->GetSubjectText());
}

void CBacktrackPane::TakeFromSession() {
  CBacktrackSession& session = m_pDoc->Backtrack();
  const unsigned newest = session.Generation();
  if (session.ReportGeneration() == newest && m_nShownReport != newest) {
    m_nShownReport = newest;
    m_pattern = session.Pattern();
    Show(session.TakenReport());
  }
  if (session.FixesGeneration() == newest && m_nShownFixes != newest) {
    m_nShownFixes = newest;
    ShowFixes(session.TakenFixes());
  }
  std::u16string rewritten;
  switch (session.TakeApplyCheck(&rewritten)) {
    case CBacktrackSession::APPLY_READY:
      emit ApplyPattern(FromU16(rewritten));
      break;
    case CBacktrackSession::APPLY_STALE:
      // The text box tells the rewrite apart from the pattern: the rewrites are proven again
      // with the text box as it is.
      Request();
      m_staleNote = true;
      m_pFixHeading->setText(CStringTable::Str(IDS_BT_FIX_STALE));
      m_pFixBox->show();
      break;
    default:
      break;
  }
}

QString CBacktrackPane::VerdictLabel() const { return m_pVerdict->text(); }
QString CBacktrackPane::WitnessLabel() const { return m_pWitness->text(); }
QString CBacktrackPane::AppliedNote() const { return m_pNote->isHidden() ? QString() : m_pNote->text(); }
QString CBacktrackPane::RepeatsLabel() const { return m_pRepeats->text(); }

void CBacktrackPane::SelectRepeat(int i) {
  const int worst = m_report.Worst();
  if (worst < 0 || i < 0 || i >= static_cast<int>(m_report.findings[worst].spans.size())) return;
  const std::pair<int, int> span = m_report.findings[worst].spans[i];
  m_pDoc->SelectPatternRange(span.first, span.second);
  m_pDoc->Notify(this, HINT_CURRENT_ELEMENT);
}

void CBacktrackPane::Show(const backtrack::Report& report) {
  m_analysing = false;
  m_report = report;
  const QString verdict = VerdictText(report);
  m_pVerdict->setText(verdict);
  const int worst = report.Worst();
  m_lookingForFixes = worst >= 0;
  if (m_lookingForFixes) {
    m_pFixHeading->setText(CStringTable::Str(m_staleNote ? IDS_BT_FIX_STALE : IDS_BT_FIX_LOOKING));
    m_pFixBox->show();
  }
  const backtrack::Finding* f = worst >= 0 ? &report.findings[worst] : nullptr;
  if (!f) {
    // A prediction the measurement did not bear out is still worth a line.
    m_pRepeats->clear();
    if (report.verdict != backtrack::TOO_LARGE)
      for (const backtrack::Finding& g : report.findings)
        if (!g.points.empty()) {
          m_pRepeats->setText(CStringTable::Str(IDS_BT_NOT_CONFIRMED).toHtmlEscaped());
          break;
        }
  } else {
    // Each repeat with where it starts, a link that selects it in the pattern box.
    QStringList repeats;
    const QString pattern = FromU16(m_pattern);
    for (size_t i = 0; i < f->spans.size(); ++i) {
      const std::pair<int, int>& s = f->spans[i];
      const QString text = CStringTable::FormatStrings(CStringTable::Str(IDS_BT_REPEAT_AT),
                                                       {pattern.mid(s.first, s.second - s.first), QString::number(s.first)});
      repeats << QStringLiteral("<a href=\"%1\">%2</a>").arg(i).arg(text.toHtmlEscaped());
    }
    m_pRepeats->setText(CStringTable::FormatStrings(CStringTable::Str(IDS_BT_REPEATS).toHtmlEscaped(),
                                                    {repeats.join(QStringLiteral(", "))}));
  }
  m_pRepeats->setVisible(!m_pRepeats->text().isEmpty());
  const bool changed = !m_changedNote.isEmpty() && m_pattern == m_changedPattern;
  m_pNote->setText(changed ? CStringTable::FormatStrings(CStringTable::Str(IDS_BT_APPLIED_CHANGE), {m_changedNote}) : QString());
  m_pNote->setVisible(changed);
  if (f)
    m_pWitness->setText(CStringTable::FormatStrings(
        CStringTable::Str(IDS_BT_WITNESS),
        {Printable(f->witness.prefix), Printable(f->witness.pump), Printable(f->witness.suffix)}));
  else
    m_pWitness->clear();
  // The witness and its command only where there is one.
  m_pWitness->setVisible(f != nullptr);
  m_pLoad->setEnabled(f != nullptr);
  m_pPump->setEnabled(f != nullptr);
  m_pLoad->setVisible(f != nullptr);
  m_pPump->setVisible(f != nullptr);
  // The pattern box marks the repeats: the document told it so with this report.
  ShowChart(f);
  emit ReportShown();
}

void CBacktrackPane::ShowChart(const backtrack::Finding* f) {
  // A chart only for a measured blow-up: a safe verdict, a pattern error or a pattern too large
  // has nothing to draw.
  int counted = 0;
  if (f)
    for (const backtrack::StepPoint& p : f->points) counted += p.cut ? 0 : 1;
  if (counted == 0) {
    m_pChart->hide();
    return;
  }
  auto* chart = new QChart;
  chart->legend()->hide();
  auto* series = new QLineSeries;
  long long top = 1;
  int last = 1;
  for (const backtrack::StepPoint& p : f->points) {
    if (p.cut) continue;  // stopped at the step budget: not a count
    series->append(p.n, static_cast<double>(std::max<long long>(1, p.steps)));
    top = std::max(top, p.steps);
    last = p.n;
  }
  chart->addSeries(series);
  auto* x = new QValueAxis;
  x->setTitleText(QStringLiteral("n"));
  x->setLabelFormat(QStringLiteral("%d"));
  x->setRange(0, last);
  auto* y = new QLogValueAxis;
  y->setTitleText(CStringTable::Str(IDS_BT_STEPS));
  y->setBase(10);
  y->setLabelFormat(QStringLiteral("%.0e"));
  y->setMinorTickCount(0);
  y->setRange(1, static_cast<double>(top) * 2);
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  series->attachAxis(x);
  series->attachAxis(y);
  StyleChart(chart);
  QChart* old = m_pChart->chart();
  m_pChart->setChart(chart);
  delete old;
  m_pChart->show();
}

// The chart in the pane's palette: its base as the background, its text for labels and titles,
// a mid tone for the grid, the highlight for the line.
void CBacktrackPane::StyleChart(QChart* chart) const {
  if (!chart) return;
  const QPalette& pal = palette();
  chart->setBackgroundBrush(pal.brush(QPalette::Base));
  chart->setBackgroundPen(QPen(pal.color(QPalette::Mid)));
  chart->setPlotAreaBackgroundVisible(false);
  chart->setTitleBrush(pal.brush(QPalette::Text));
  QColor grid = pal.color(QPalette::Text);
  grid.setAlpha(50);
  for (QAbstractAxis* axis : chart->axes()) {
    axis->setLabelsBrush(pal.brush(QPalette::Text));
    axis->setTitleBrush(pal.brush(QPalette::Text));
    axis->setLinePenColor(pal.color(QPalette::Text));
    axis->setGridLineColor(grid);
  }
  for (QAbstractSeries* s : chart->series())
    if (auto* line = qobject_cast<QLineSeries*>(s)) {
      QPen pen(pal.color(QPalette::Highlight));
      pen.setWidth(2);
      line->setPen(pen);
    }
  m_pChart->setBackgroundBrush(pal.brush(QPalette::Base));
}

void CBacktrackPane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const QBoxLayout::Direction d = width() >= kSideBySideWidth ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
  if (m_pColumns->direction() != d) m_pColumns->setDirection(d);
}

void CBacktrackPane::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) StyleChart(m_pChart->chart());
}

QString CBacktrackPane::VerdictText(const backtrack::Report& report) const {
  switch (report.verdict) {
    case backtrack::LINEAR: return CStringTable::Str(IDS_BT_LINEAR);
    case backtrack::POLYNOMIAL:
      return CStringTable::FormatStrings(CStringTable::Str(IDS_BT_POLYNOMIAL), {QString::number(report.degree)});
    case backtrack::EXPONENTIAL: return CStringTable::Str(IDS_BT_EXPONENTIAL);
    default: return CStringTable::Str(report.errorAt >= 0 ? IDS_BT_PATTERN_ERROR : IDS_BT_TOO_LARGE);
  }
}

void CBacktrackPane::ClearFixRows() {
  // Later, not now: the row may hold the button whose click led here.
  for (QWidget* row : m_fixRows) {
    row->hide();
    row->setParent(nullptr);
    row->deleteLater();
  }
  m_fixRows.clear();
}

QString CBacktrackPane::FixLabel(int i) const {
  if (i < 0 || i >= static_cast<int>(m_fixes.size())) return QString();
  const backtrack::Fix& f = m_fixes[i];
  const QString pattern = FromU16(m_pattern);
  // The repeat with where it starts: two repeats may be written alike (\d+\d+x).
  const QString part = CStringTable::FormatStrings(
      CStringTable::Str(IDS_BT_REPEAT_AT), {pattern.mid(f.span.first, f.span.second - f.span.first), QString::number(f.span.first)});
  static const int kWhat[] = {IDS_BT_FIX_POSSESSIVE, IDS_BT_FIX_ATOMIC, IDS_BT_FIX_DROP_BRANCH, IDS_BT_FIX_EXCLUSIVE};
  const QString what = CStringTable::FormatStrings(CStringTable::Str(kWhat[f.kind]), {part});
  if (f.proven)
    return CStringTable::FormatStrings(CStringTable::Str(IDS_BT_FIX_ROW),
                                       {what, FromU16(f.pattern), VerdictText(f.report), QString::number(f.subjects)});
  return CStringTable::FormatStrings(CStringTable::Str(IDS_BT_CHANGE_ROW),
                                     {what, FromU16(f.pattern), VerdictText(f.report), backtrack::DifferenceText(f.differs)});
}

void CBacktrackPane::ShowFixes(const std::vector<backtrack::Fix>& fixes) {
  m_lookingForFixes = false;
  m_fixes = fixes;
  ClearFixRows();
  bool proven = false;
  for (const backtrack::Fix& f : fixes) proven = proven || f.proven;
  QString heading = CStringTable::Str(proven ? IDS_BT_FIX_HEADING : IDS_BT_FIX_NONE);
  if (m_staleNote) heading = CStringTable::Str(IDS_BT_FIX_STALE) + QLatin1Char('\n') + heading;
  m_staleNote = false;
  m_pFixHeading->setText(heading);
  auto* layout = static_cast<QVBoxLayout*>(m_pFixBox->layout());
  bool changeHeading = false;
  for (int i = 0; i < static_cast<int>(fixes.size()); ++i) {
    if (!fixes[i].proven && !changeHeading) {
      // The rewrites that change the meaning, apart and under their own heading.
      changeHeading = true;
      auto* label = new QLabel(CStringTable::Str(IDS_BT_CHANGE_HEADING), m_pFixBox);
      label->setObjectName(QStringLiteral("change-heading"));
      label->setWordWrap(true);
      layout->addWidget(label);
      m_fixRows.push_back(label);
    }
    auto* row = new QWidget(m_pFixBox);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(FixLabel(i), row);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* apply = new QPushButton(CStringTable::Str(fixes[i].proven ? IDS_BT_FIX_APPLY : IDS_BT_APPLY_CHANGE), row);
    apply->setObjectName(QStringLiteral("apply-fix-%1").arg(i));
    if (!fixes[i].proven) apply->setToolTip(CStringTable::Str(IDS_BT_APPLY_CHANGE_TIP));
    connect(apply, &QPushButton::clicked, this, [this, i] { ApplyFix(i); });
    h->addWidget(label, 1);
    h->addWidget(apply, 0, Qt::AlignTop);
    layout->addWidget(row);
    m_fixRows.push_back(row);
  }
  m_pFixBox->show();
  emit FixesShown();
}

void CBacktrackPane::ApplyFix(int i) {
  if (i < 0 || i >= static_cast<int>(m_fixes.size())) return;
  const backtrack::Fix& fix = m_fixes[i];
  const std::u16string p = fix.pattern;
  if (!fix.proven) {
    // Asked for knowing it changes the matches: applied, and the new pattern's verdict says so.
    m_changedPattern = p;
    m_changedNote = backtrack::DifferenceText(fix.differs);
    emit ApplyPattern(FromU16(p));
    return;
  }
  // The fix was proven, and compared on the text box as it was when the analysis began; the
  // user may have typed since. The session searches both patterns over the box's text as it is
  // now on its worker, a last check that a faulty proof would fail; the answer comes back as
  // HINT_BACKTRACK (TakeFromSession). An empty box has nothing to check.
  if (!m_pDoc->Backtrack().CheckBeforeApply(p, m_pDoc->GetSubjectText())) emit ApplyPattern(FromU16(p));
}

void CBacktrackPane::LoadWitness(int n) {
  const int worst = m_report.Worst();
  if (worst < 0) return;
  const std::u16string text = m_report.findings[worst].witness.Text(n);
  std::vector<unsigned short> units(text.begin(), text.end());
  m_pDoc->SetSubjectText(units.data(), static_cast<int>(units.size()));
  m_pDoc->Notify(nullptr, HINT_SUBJECT_REPLACED | HINT_RESULTS | HINT_TEXT_HIGHLIGHTS);
}
