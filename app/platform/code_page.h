// Conversion between UTF-16 and the system code page, and line-break handling for text files
// that people read (exports, saved texts). Covered by tests/code_page_test.cpp.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

// The system code page is the locale's encoding as Qt sees it (QStringConverter::System: UTF-8
// on Unix systems, the ANSI code page on Windows). Every call converts its piece on its own; no
// state is carried between calls. All functions are thread-safe.
class CCodePage {
 public:
  // UTF-16 to the system code page. Code units the code page cannot hold (on UTF-8: unpaired
  // surrogates, also one at the end of the piece) become the code page's replacement character
  // (on UTF-8: U+FFFD).
  static QByteArray FromUtf16(QStringView text);
  // The system code page to UTF-16. Byte sequences that are not valid in the code page become
  // U+FFFD.
  static QString ToUtf16(QByteArrayView bytes);

  // Every line break becomes CR LF. A line break is CR LF, LF CR, a lone CR or a lone LF, read
  // from left to right: "\r\n\r" is two breaks (CR LF, then a lone CR), "\n\r\n" is two breaks
  // (LF CR, then a lone LF), "\r\r" is two breaks.
  static QString NormalizeLineBreaks(QStringView text);
  // The lines between the line breaks above (n breaks give n + 1 lines, the last one possibly
  // empty; an empty text gives one empty line).
  static QStringList SplitLines(QStringView text);
  // Text for a file people read: line breaks normalised to CR LF, then converted to the system
  // code page.
  static QByteArray ForReadableFile(QStringView text);
};
