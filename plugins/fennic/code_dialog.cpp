// The "Create Code" window (code_dialog.h).
#include "plugins/fennic/code_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStringConverter>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "plugins/fennic/fennic_text.h"
#include "resources/fennic_ids.h"
#include "resources/stringtable.h"

namespace fennic {
namespace {

// Remembered while the library stays loaded (never saved); 0 is none. UI thread only.
int g_currentLanguage = 0;
int g_lastLibrary = 0;
int g_lastOperation = 0;

const char kFontSection[] = "Fonts";
const char kFontEntry[] = "fennic_code";

QSettings& Profile() {
  static QSettings settings(QStringLiteral("Korvane"), QStringLiteral("Korvane 2.0"));
  return settings;
}

QFont CodeFont() {
  QFont font;
  QString saved = Profile().value(QString::fromLatin1(kFontSection) + "/" + kFontEntry).toString();
  if (saved.isEmpty() || !ParseSavedFont(saved, &font)) return QFontDatabase::systemFont(QFontDatabase::FixedFont);
  return font;
}

QString Str(int id) { return CStringTable::Str(id); }

// Room between a function name and its row's edges.
constexpr int kNamePadX = 6;
constexpr int kNamePadY = 3;

QRect NameRect(const QRect& row) { return row.adjusted(kNamePadX, kNamePadY, -kNamePadX, -kNamePadY); }

// The function names are whole sentences: each row wraps its name at the list's width and is as
// tall as its lines, so that a name is read whole at whatever width the list gets. The row's
// background, selection and focus are the style's; the text is drawn here, in the rectangle that
// sizeHint measured.
class CWrappedNameDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem o(option);
    initStyleOption(&o, index);
    const auto* view = qobject_cast<const QAbstractItemView*>(o.widget);
    const int width = view ? view->viewport()->width() : o.rect.width();
    const QRect text = NameRect(QRect(0, 0, std::max(width, 2 * kNamePadX + 1), 1 << 20));
    const QRect used = QFontMetrics(o.font).boundingRect(text, Qt::TextWordWrap | Qt::AlignLeft, o.text);
    return QSize(width, used.height() + 2 * kNamePadY);
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem o(option);
    initStyleOption(&o, index);
    const QString text = o.text;
    o.text.clear();
    QStyle* style = o.widget ? o.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &o, painter, o.widget);
    const QPalette::ColorGroup group = !(o.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (o.state & QStyle::State_Active) ? QPalette::Active
                                                                           : QPalette::Inactive;
    painter->save();
    painter->setFont(o.font);
    painter->setPen(o.palette.color(group, (o.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(NameRect(o.rect), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignVCenter, text);
    painter->restore();
  }
};

// WCAG contrast ratio of two colours (1 to 21).
double Contrast(const QColor& a, const QColor& b) {
  auto luminance = [](const QColor& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double x = luminance(a), y = luminance(b);
  return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// The code colours are chosen for a light background; on a dark one navy and maroon all but
// vanish. There each is lightened (same hue) until it stands out as text should (contrast 4.5).
QColor ForBackground(QColor colour, const QColor& background) {
  if (background.lightness() >= 128) return colour;
  for (int l = colour.lightness(); Contrast(colour, background) < 4.5 && l < 255;) {
    l = std::min(255, l + 5);
    colour = QColor::fromHsl(colour.hslHue(), colour.hslSaturation(), l);
  }
  return colour;
}

// The widest piece of `text` that cannot be broken across lines (a word; one ideograph in
// Chinese), in the font of `metrics`.
int WidestUnbreakable(const QString& text, const QFontMetrics& metrics) {
  QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
  int widest = 0, from = 0;
  while (finder.toNextBoundary() >= 0) {
    const int to = finder.position();
    widest = std::max(widest, metrics.horizontalAdvance(text.mid(from, to - from).trimmed()));
    from = to;
  }
  return widest;
}

}  // namespace

bool ParseSavedFont(const QString& saved, QFont* font) {
  QStringList parts = saved.split(QLatin1Char('/'));
  bool ok = false;
  int height = parts.value(0).trimmed().toInt(&ok);
  if (!ok || height == 0) return false;
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  // Negative: the character height in pixels; positive: the cell height, taken as the same.
  f.setPixelSize(height < 0 ? -height : height);
  int weight = parts.value(1).toInt(&ok);
  if (ok && weight >= 100 && weight <= 900) f.setWeight(static_cast<QFont::Weight>(weight));
  int italic = parts.value(2).toInt(&ok);
  if (ok) f.setItalic(italic != 0);
  QString face = parts.value(4);
  if (!face.isEmpty()) f.setFamily(face);
  *font = f;
  return true;
}

QString FormatSavedFont(const QFont& font) {
  int height = font.pixelSize() > 0 ? -font.pixelSize() : -qRound(font.pointSizeF() * 96.0 / 72.0);
  return QStringLiteral("%1/%2/%3/0/%4/")
      .arg(height)
      .arg(static_cast<int>(font.weight()))
      .arg(font.italic() ? 1 : 0)
      .arg(font.family());
}

void ShowCreateCode(int language, const std::u16string& pattern, const std::u16string& text,
                    const std::u16string& replaceTo, int flags) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  g_currentLanguage = language;
  CCreateCodeDialog dialog(language, pattern, text, replaceTo, flags, QApplication::activeWindow());
  dialog.exec();
}

CCreateCodeDialog::CCreateCodeDialog(int language, const std::u16string& pattern, const std::u16string& text,
                                     const std::u16string& replaceTo, int flags, QWidget* parent)
    : QDialog(parent), m_nLanguage(language), m_pattern(pattern), m_text(text), m_replaceTo(replaceTo), m_nFlags(flags) {
  setWindowTitle(Str(IDS_DLG_CODE_CAPTION));
  setObjectName(QStringLiteral("fennic_create_code"));
  m_pEngines = new QComboBox(this);
  m_pEngines->setObjectName(QStringLiteral("engines"));
  m_pFunctions = new QListWidget(this);
  m_pFunctions->setObjectName(QStringLiteral("functions"));
  m_pFunctions->setItemDelegate(new CWrappedNameDelegate(m_pFunctions));
  m_pFunctions->setWordWrap(true);
  m_pFunctions->setResizeMode(QListView::Adjust);  // the rows are measured again at each width
  m_pFunctions->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_pView = new QPlainTextEdit(this);
  m_pView->setObjectName(QStringLiteral("code"));
  m_pView->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_pView->setFont(CodeFont());
  m_pView->setContextMenuPolicy(Qt::CustomContextMenu);

  QPushButton* font = new QPushButton(Str(IDS_DLG_CODE_FONT), this);
  QPushButton* copyAll = new QPushButton(Str(IDS_DLG_CODE_COPY_ALL), this);
  QPushButton* saveAs = new QPushButton(Str(IDS_DLG_CODE_SAVE_AS), this);
  QPushButton* close = new QPushButton(Str(IDS_DLG_CODE_CLOSE), this);
  close->setDefault(true);

  // The lists on the left and the code on the right, split where the user drags; the lists keep
  // their width when the window is resized, the code takes the rest.
  QWidget* lists = new QWidget(this);
  QVBoxLayout* left = new QVBoxLayout(lists);
  left->setContentsMargins(0, 0, 0, 0);
  left->addWidget(new QLabel(Str(IDS_DLG_CODE_ENGINE), lists));
  left->addWidget(m_pEngines);
  left->addWidget(new QLabel(Str(IDS_DLG_CODE_FUNCTION), lists));
  left->addWidget(m_pFunctions, 1);
  m_pSplitter = new QSplitter(Qt::Horizontal, this);
  m_pSplitter->setObjectName(QStringLiteral("split"));
  m_pSplitter->addWidget(lists);
  m_pSplitter->addWidget(m_pView);
  m_pSplitter->setChildrenCollapsible(false);
  m_pSplitter->setStretchFactor(0, 0);
  m_pSplitter->setStretchFactor(1, 1);
  QHBoxLayout* buttons = new QHBoxLayout;
  buttons->addWidget(font);
  buttons->addStretch(1);
  buttons->addWidget(copyAll);
  buttons->addWidget(saveAs);
  buttons->addWidget(close);
  QVBoxLayout* top = new QVBoxLayout(this);
  top->addWidget(m_pSplitter, 1);
  top->addLayout(buttons);

  connect(m_pEngines, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &CCreateCodeDialog::OnEngineChanged);
  connect(m_pFunctions, &QListWidget::currentRowChanged, this, &CCreateCodeDialog::OnFunctionChanged);
  connect(m_pView, &QPlainTextEdit::textChanged, this, &CCreateCodeDialog::Colour);
  connect(m_pView, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { ShowMenu(m_pView->viewport()->mapToGlobal(p)); });
  connect(font, &QPushButton::clicked, this, &CCreateCodeDialog::ChooseFont);
  connect(copyAll, &QPushButton::clicked, this, &CCreateCodeDialog::CopyAll);
  connect(saveAs, &QPushButton::clicked, this, &CCreateCodeDialog::SaveAs);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  FillEngines();
  FitLists();
}

// Widths from the names of the current language and the dialog's font: the function list never
// gets narrower than its widest word (plus the scroll bar it may need), and starts wide enough
// for every name of this code language to take at most two lines.
void CCreateCodeDialog::FitLists() {
  const QFontMetrics metrics(m_pFunctions->font());
  int widestWord = 0, widestName = 0;
  for (const CodeTemplateRow& row : CodeTemplateTable()) {
    if (row.language != m_nLanguage) continue;
    const QString name = Str(row.operation);
    widestWord = std::max(widestWord, WidestUnbreakable(name, metrics));
    widestName = std::max(widestName, metrics.horizontalAdvance(name));
  }
  const int chrome = 2 * m_pFunctions->frameWidth() + 2 * kNamePadX +
                     m_pFunctions->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_pFunctions) + 4;
  m_pFunctions->setMinimumWidth(widestWord + chrome);
  const int start = std::max({m_pEngines->sizeHint().width(), widestName / 2 + widestWord + chrome,
                              metrics.averageCharWidth() * 28});
  const int code = std::max(480, metrics.averageCharWidth() * 64);
  m_pSplitter->setSizes({start, code});
  resize(start + code + m_pSplitter->handleWidth() + 2 * layout()->contentsMargins().left(), 460);
}

void CCreateCodeDialog::FillEngines() {
  m_bFilling = true;
  int select = 0, previous = 0;
  for (const CodeTemplateRow& row : CodeTemplateTable()) {
    if (row.language != m_nLanguage || row.library == previous) continue;
    previous = row.library;
    if (row.library == g_lastLibrary) select = m_pEngines->count();
    m_pEngines->addItem(Str(row.library), row.library);
  }
  m_bFilling = false;
  if (m_pEngines->count() == 0) return;
  if (m_pEngines->currentIndex() == select)
    OnEngineChanged(select);
  else
    m_pEngines->setCurrentIndex(select);
}

void CCreateCodeDialog::OnEngineChanged(int index) {
  if (m_bFilling || index < 0) return;
  int library = m_pEngines->itemData(index).toInt();
  g_lastLibrary = library;
  m_bFilling = true;
  m_pFunctions->clear();
  const std::vector<CodeTemplateRow>& table = CodeTemplateTable();
  int select = 0;
  for (size_t i = 0; i < table.size(); ++i) {
    if (table[i].language != m_nLanguage || table[i].library != library) continue;
    if (table[i].operation == g_lastOperation) select = m_pFunctions->count();
    QListWidgetItem* item = new QListWidgetItem(Str(table[i].operation), m_pFunctions);
    item->setData(Qt::UserRole, static_cast<int>(i));
  }
  m_bFilling = false;
  if (m_pFunctions->count() == 0) return;
  m_pFunctions->setCurrentRow(select);
  Generate();
}

void CCreateCodeDialog::OnFunctionChanged(int row) {
  if (m_bFilling || row < 0) return;
  Generate();
}

void CCreateCodeDialog::Generate() {
  QListWidgetItem* item = m_pFunctions->currentItem();
  if (!item) return;
  const CodeTemplateRow& row = CodeTemplateTable()[static_cast<size_t>(item->data(Qt::UserRole).toInt())];
  g_lastOperation = row.operation;
  std::u16string code = GenerateCode(row, m_pattern, m_text, m_replaceTo, m_nFlags);
  int position = m_pView->textCursor().position();
  m_pView->setPlainText(QString::fromStdU16String(code));
  QTextCursor cursor = m_pView->textCursor();
  cursor.setPosition(std::min(position, static_cast<int>(code.size())));
  m_pView->setTextCursor(cursor);
}

void CCreateCodeDialog::Colour() {
  // Extra selections colour the view without touching the document or its undo history.
  std::u16string code = m_pView->toPlainText().toStdU16String();
  QList<QTextEdit::ExtraSelection> selections;
  const QColor background = m_pView->palette().color(QPalette::Base);
  for (const ColourSpan& span : ColourCode(m_nLanguage, code)) {
    QTextEdit::ExtraSelection s;
    s.cursor = QTextCursor(m_pView->document());
    s.cursor.setPosition(span.start);
    s.cursor.setPosition(span.start + span.length, QTextCursor::KeepAnchor);
    unsigned rgb = ColourRgb(span.colour);
    s.format.setForeground(ForBackground(QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF), background));
    selections.append(s);
  }
  m_pView->setExtraSelections(selections);
}

void CCreateCodeDialog::ChooseFont() {
  bool ok = false;
  QFont chosen = QFontDialog::getFont(&ok, m_pView->font(), this);
  if (!ok) return;
  Profile().setValue(QString::fromLatin1(kFontSection) + "/" + kFontEntry, FormatSavedFont(chosen));
  m_pView->setFont(chosen);
  Colour();
}

void CCreateCodeDialog::CopyAll() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return;
  // Narrow text in the system code page, as the clipboard's plain text.
  QStringEncoder encode(QStringConverter::System);
  QByteArray bytes = encode(m_pView->toPlainText());
  QStringDecoder decode(QStringConverter::System);
  clipboard->setText(decode(bytes));
}

bool CCreateCodeDialog::SaveTo(const QString& path) const {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QStringEncoder encode(QStringConverter::System);
  std::u16string lines = ToCrLfLines(m_pView->toPlainText().toStdU16String());
  QByteArray bytes = encode(QString::fromStdU16String(lines));
  return file.write(bytes) == bytes.size();
}

void CCreateCodeDialog::SaveAs() {
  QStringList filters = CStringTable::ToQtFilters(Str(IDS_FILTER_SAVE_CODE));
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  SaveTo(dialog.selectedFiles().first());  // a file that cannot be created is not written
}

void CCreateCodeDialog::ShowMenu(const QPoint& global) {
  QMenu menu(this);
  bool empty = m_pView->document()->isEmpty();
  bool selected = m_pView->textCursor().hasSelection();
  QAction* copyAll = menu.addAction(Str(IDS_MENU_CODE_COPY_ALL), this, &CCreateCodeDialog::CopyAll);
  QAction* saveAs = menu.addAction(Str(IDS_MENU_CODE_SAVE_AS), this, &CCreateCodeDialog::SaveAs);
  menu.addSeparator();
  QAction* cut = menu.addAction(Str(IDS_MENU_CODE_CUT), m_pView, &QPlainTextEdit::cut);
  QAction* copy = menu.addAction(Str(IDS_MENU_CODE_COPY), m_pView, &QPlainTextEdit::copy);
  QAction* selectAll = menu.addAction(Str(IDS_MENU_CODE_SELECT_ALL), m_pView, &QPlainTextEdit::selectAll);
  copyAll->setEnabled(!empty);
  saveAs->setEnabled(!empty);
  selectAll->setEnabled(!empty);
  cut->setEnabled(selected);
  copy->setEnabled(selected);
  menu.exec(global);
}

}  // namespace fennic
