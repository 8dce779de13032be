// CSavedFont: a font of one of the four text boxes together with its key in the "Fonts"
// section of the per-user settings store. The stored text is the font description
// "height/weight/italic/charset/face/": height in logical units (negative: character height, in
// pixels here), weight 100 to 900 (700 bold), italic 0 or 1, the character set (kept, not used
// by Qt) and the face name, each followed by a slash. The fields are read in order and reading
// stops at the first that does not parse; a text that does not even give the height falls back
// to the system's default GUI font. Header-only: the views use it without the frame.
//
// A face that is not installed (Tahoma, the default, is missing on most Linux systems) is drawn
// in the system's general font, or its fixed-pitch font for a fixed role or a face whose name
// says it is fixed-pitch, at the saved size, weight and slant. The description keeps the saved
// face: the stored text is rewritten only when the user chooses a font, so that it stays what
// older copies (and other systems, where the face may exist) read.
//
// Covered by app/ui/tests/frame_test.cpp (font rows).
#ifndef KORVANE_SAVED_FONT_H
#define KORVANE_SAVED_FONT_H

#include <QFont>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QString>
#include <QStringList>
#include <climits>

#include "platform/profile.h"

// The parsed description; fields that were not given are 0 / empty.
struct FontDescription {
  int height = 0;
  int weight = 0;
  int italic = 0;
  int charset = 0;
  QString face;
};

class CSavedFont {
 public:
  // Which system font stands in for a face that is not installed.
  enum EFontRole { ROLE_GENERAL, ROLE_FIXED };

  static constexpr const char* kSection = "Fonts";
  static constexpr const char* kDefaultText = "-14/700/0/0/Tahoma/";
  // Keys of the four boxes.
  static constexpr const char* kRegex = "korvane_regex";
  static constexpr const char* kText = "korvane_text";
  static constexpr const char* kReplaceTo = "korvane_replaceto";
  static constexpr const char* kResult = "korvane_result";
  // A face name is cut to this many characters, as the platform's font description holds.
  static constexpr int kMaxFaceLength = 31;

  explicit CSavedFont(const QString& key = QString(), EFontRole role = ROLE_GENERAL) : m_key(key), m_role(role) {
    SetText(QLatin1String(kDefaultText));
  }

  const QString& Key() const { return m_key; }
  const QFont& Font() const { return m_font; }
  // The description as it would be saved.
  QString Text() const { return Format(m_desc); }
  const FontDescription& Description() const { return m_desc; }
  // True when the last SetText / Load fell back to the system font.
  bool IsFallback() const { return m_bFallback; }

  // Parses a description. Returns the number of fields read (0 to 5); `desc` holds what was read.
  static int Parse(const QString& text, FontDescription* desc) {
    *desc = FontDescription();
    const QString s = text;
    int pos = 0;
    int* fields[4] = {&desc->height, &desc->weight, &desc->italic, &desc->charset};
    for (int k = 0; k < 4; ++k) {
      int value = 0;
      if (!ParseInt(s, &pos, &value)) return k;
      *fields[k] = value;
      if (pos >= s.size() || s[pos] != QLatin1Char('/')) return k + 1;
      ++pos;
    }
    const int slash = s.indexOf(QLatin1Char('/'), pos);
    QString face = s.mid(pos, slash < 0 ? -1 : slash - pos);
    if (face.isEmpty()) return 4;
    desc->face = face.left(kMaxFaceLength);
    return 5;
  }

  static QString Format(const FontDescription& d) {
    return QStringLiteral("%1/%2/%3/%4/%5/").arg(d.height).arg(d.weight).arg(d.italic).arg(d.charset).arg(d.face);
  }

  // Builds the font of a description (at least the height must have been read). A face that is
  // not installed stays the first of the font's families, for the record; the stand-in family
  // after it is the one drawn.
  static QFont MakeFont(const FontDescription& d, EFontRole role = ROLE_GENERAL) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (!d.face.isEmpty()) {
      if (QFontDatabase::hasFamily(d.face))
        font.setFamilies({d.face});
      else
        font.setFamilies({d.face, StandInFamily(role == ROLE_FIXED || LooksFixedPitch(d.face) ? ROLE_FIXED : ROLE_GENERAL)});
    }
    // Negative: character height; positive: cell height, of which the character takes about
    // four fifths. 0 keeps the default size. Absurd sizes are bounded.
    if (d.height != 0) {
      long long px = d.height < 0 ? -static_cast<long long>(d.height) : d.height * 4LL / 5;
      font.setPixelSize(static_cast<int>(px < 1 ? 1 : px > 1000 ? 1000 : px));
    }
    if (d.weight > 0) font.setWeight(static_cast<QFont::Weight>(d.weight < 100 ? 100 : d.weight > 900 ? 900 : d.weight));
    font.setItalic(d.italic != 0);
    return font;
  }

  // The installed family of the system's general or fixed-pitch font (the system fonts are
  // often aliases such as "Sans Serif", which a font list cannot fall back on).
  static QString StandInFamily(EFontRole role) {
    const QFont system = QFontDatabase::systemFont(role == ROLE_FIXED ? QFontDatabase::FixedFont : QFontDatabase::GeneralFont);
    return QFontInfo(system).family();
  }

  // Whether a face's name says it is fixed-pitch (for faces that are not installed, whose
  // pitch cannot be asked).
  static bool LooksFixedPitch(const QString& face) {
    static const char* const kHints[] = {"mono", "courier", "consol", "fixed", "terminal", "typewriter", "code"};
    for (const char* hint : kHints)
      if (face.contains(QLatin1String(hint), Qt::CaseInsensitive)) return true;
    return false;
  }

  // The description of a Qt font (as the font dialog hands it back).
  static FontDescription Describe(const QFont& font, int charset) {
    FontDescription d;
    if (font.pixelSize() > 0) d.height = -font.pixelSize();
    else d.height = -qRound(font.pointSizeF() * 96.0 / 72.0);
    d.weight = font.weight();
    d.italic = font.italic() ? 1 : 0;
    d.charset = charset;
    d.face = font.family().left(kMaxFaceLength);
    return d;
  }

  // Builds the font from a description; false (and the system GUI font) when not even the
  // height parses.
  bool SetText(const QString& text) {
    FontDescription d;
    if (Parse(text, &d) < 1) {
      m_font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
      m_desc = Describe(m_font, 0);
      m_bFallback = true;
      return false;
    }
    m_desc = d;
    m_font = MakeFont(d, m_role);
    m_bFallback = false;
    return true;
  }

  // The family the font is drawn with: the saved face, or the stand-in for a missing one.
  QString DrawnFamily() const { return QFontInfo(m_font).family(); }
  // Whether the saved face is missing and a system font stands in for it.
  bool IsStandIn() const { return !m_desc.face.isEmpty() && !QFontDatabase::hasFamily(m_desc.face); }

  // The font to open the font dialog on: the family actually drawn, the size in points (at the
  // 96 dots per inch that Describe reads back), weight and slant. The dialog lists installed
  // families and point sizes only, so the font itself (a missing face, a pixel size) would
  // open it on its first entry instead of the current font.
  QFont DialogFont() const {
    QFont font(DrawnFamily());
    const int px = m_font.pixelSize();
    if (px > 0) font.setPointSizeF(px * 72.0 / 96.0);
    else if (m_font.pointSizeF() > 0) font.setPointSizeF(m_font.pointSizeF());
    font.setWeight(m_font.weight());
    font.setItalic(m_font.italic());
    return font;
  }

  bool Load(const QString& defaultText = QLatin1String(kDefaultText)) {
    CProfile profile;
    return Load(profile, defaultText);
  }
  bool Load(const CProfile& profile, const QString& defaultText = QLatin1String(kDefaultText)) {
    return SetText(profile.GetString(QLatin1String(kSection), m_key, defaultText));
  }
  void Save() const {
    CProfile profile;
    Save(profile);
  }
  void Save(CProfile& profile) const { profile.WriteString(QLatin1String(kSection), m_key, Text()); }

  // Sets the font from one the user chose (keeps the character set).
  void SetFont(const QFont& font) {
    m_desc = Describe(font, m_desc.charset);
    m_font = MakeFont(m_desc, m_role);
    m_bFallback = false;
  }

  // Takes a font chosen in a font dialog opened on DialogFont(). The dialog shows whole point
  // sizes only: a size it merely rounded from the current one (14 pixels are 10.5 points, shown
  // as 11) keeps the current pixel height, so that OK on an unchanged dialog changes nothing.
  void SetChosenFont(const QFont& chosen) {
    QFont taken = chosen;
    const double initial = DialogFont().pointSizeF();
    if (m_font.pixelSize() > 0 && chosen.pointSizeF() > 0 && chosen.pointSizeF() != initial &&
        qRound(chosen.pointSizeF()) == qRound(initial))
      taken.setPixelSize(m_font.pixelSize());
    SetFont(taken);
  }

  // Opens the font dialog on the current font; on OK rebuilds the font and, if asked, saves it.
  bool Choose(QWidget* parent, bool save) {
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, DialogFont(), parent);
    if (!ok) return false;
    SetChosenFont(chosen);
    if (save) Save();
    return true;
  }

  void CopyFrom(const CSavedFont& other) {
    m_desc = other.m_desc;
    m_bFallback = other.m_bFallback;
    m_font = m_bFallback ? other.m_font : MakeFont(m_desc, m_role);
  }

 private:
  // Reads an optionally signed decimal number after optional blanks, as "%d" does; values
  // beyond the int range are clamped.
  static bool ParseInt(const QString& s, int* pos, int* value) {
    int p = *pos;
    while (p < s.size() && (s[p] == QLatin1Char(' ') || s[p] == QLatin1Char('\t'))) ++p;
    bool negative = false;
    if (p < s.size() && (s[p] == QLatin1Char('-') || s[p] == QLatin1Char('+'))) {
      negative = s[p] == QLatin1Char('-');
      ++p;
    }
    const int digits = p;
    long long v = 0;
    while (p < s.size() && s[p] >= QLatin1Char('0') && s[p] <= QLatin1Char('9')) {
      if (v < 10000000000LL) v = v * 10 + (s[p].unicode() - '0');
      ++p;
    }
    if (p == digits) return false;
    if (negative) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    *value = static_cast<int>(v);
    *pos = p;
    return true;
  }

  QString m_key;
  EFontRole m_role = ROLE_GENERAL;
  FontDescription m_desc;
  QFont m_font;
  bool m_bFallback = false;
};

#endif
