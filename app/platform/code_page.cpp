// Covered by tests/code_page_test.cpp.
#include "platform/code_page.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// Length of the line break starting at i, or 0 when text[i] starts none.
qsizetype BreakLength(QStringView text, qsizetype i) {
  const char16_t c = text[i].unicode();
  if (c != u'\r' && c != u'\n') return 0;
  const char16_t other = c == u'\r' ? u'\n' : u'\r';
  return (i + 1 < text.size() && text[i + 1].unicode() == other) ? 2 : 1;
}

}  // namespace

QByteArray CCodePage::FromUtf16(QStringView text) {
  // Unpaired surrogates are replaced here rather than left to the encoder: Qt's encoder keeps a
  // trailing high surrogate back for a following piece and drops some lone low ones, and every
  // call converts a whole piece on its own.
  QString clean;
  bool replaced = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    bool lone = false;
    if (c.isHighSurrogate())
      lone = i + 1 >= text.size() || !text[i + 1].isLowSurrogate();
    else if (c.isLowSurrogate())
      lone = i == 0 || !text[i - 1].isHighSurrogate();
    if (lone && !replaced) {
      clean = text.toString();
      replaced = true;
    }
    if (lone) clean[i] = QChar(QChar::ReplacementCharacter);
  }
  // No byte-order mark is written.
  QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
  return encoder.encode(replaced ? QStringView(clean) : text);
}

QString CCodePage::ToUtf16(QByteArrayView bytes) {
  QStringDecoder decoder(QStringConverter::System);
  return decoder.decode(bytes);
}

QString CCodePage::NormalizeLineBreaks(QStringView text) {
  QString out;
  out.reserve(text.size() + text.size() / 16);
  qsizetype runStart = 0;  // start of the text not yet copied
  qsizetype i = 0;
  while (i < text.size()) {
    const qsizetype n = BreakLength(text, i);
    if (n == 0) {
      ++i;
      continue;
    }
    out += text.mid(runStart, i - runStart);
    out += QLatin1String("\r\n");
    i += n;
    runStart = i;
  }
  out += text.mid(runStart);
  return out;
}

QStringList CCodePage::SplitLines(QStringView text) {
  QStringList lines;
  qsizetype lineStart = 0;
  qsizetype i = 0;
  while (i < text.size()) {
    const qsizetype n = BreakLength(text, i);
    if (n == 0) {
      ++i;
      continue;
    }
    lines.append(text.mid(lineStart, i - lineStart).toString());
    i += n;
    lineStart = i;
  }
  lines.append(text.mid(lineStart).toString());
  return lines;
}

QByteArray CCodePage::ForReadableFile(QStringView text) {
  return FromUtf16(NormalizeLineBreaks(text));
}
