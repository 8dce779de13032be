// CSavedFont: a font of one of the four text boxes together with its key in the "Fonts"
// section of the per-user settings store. The stored text is the font description
// "height/weight/italic/charset/face/": height in logical units (negative: character height, in
// pixels here), weight 100 to 900 (700 bold), italic 0 or 1, the character set (kept, not used
// by Qt) and the face name, each followed by a slash. The fields are read in order and reading
// stops at the first that does not parse; a text that does not even give the height falls back
// to the system's default GUI font. Header-only: the views use it without the frame.
//
// Covered by app/ui/tests/frame_test.cpp (font rows).
#ifndef KORVANE_SAVED_FONT_H
#define KORVANE_SAVED_FONT_H

#include <QFont>
#include <QFontDatabase>
#include <QFontDialog>
#include <QString>
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
  static constexpr const char* kSection = "Fonts";
  static constexpr const char* kDefaultText = "-14/700/0/0/Tahoma/";
  // Keys of the four boxes.
  static constexpr const char* kRegex = "korvane_regex";
  static constexpr const char* kText = "korvane_text";
  static constexpr const char* kReplaceTo = "korvane_replaceto";
  static constexpr const char* kResult = "korvane_result";
  // A face name is cut to this many characters, as the platform's font description holds.
  static constexpr int kMaxFaceLength = 31;

  explicit CSavedFont(const QString& key = QString()) : m_key(key) { SetText(QLatin1String(kDefaultText)); }

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

  // Builds the font of a description (at least the height must have been read).
  static QFont MakeFont(const FontDescription& d) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (!d.face.isEmpty()) font.setFamilies({d.face});
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
    m_font = MakeFont(d);
    m_bFallback = false;
    return true;
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
    m_font = MakeFont(m_desc);
    m_bFallback = false;
  }

  // Opens the font dialog on the current font; on OK rebuilds the font and, if asked, saves it.
  bool Choose(QWidget* parent, bool save) {
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, m_font, parent);
    if (!ok) return false;
    SetFont(chosen);
    if (save) Save();
    return true;
  }

  void CopyFrom(const CSavedFont& other) {
    m_desc = other.m_desc;
    m_font = other.m_font;
    m_bFallback = other.m_bFallback;
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
  FontDescription m_desc;
  QFont m_font;
  bool m_bFallback = false;
};

#endif
