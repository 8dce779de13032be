// String-literal conversions: a pattern to and from the string literals of C++, Java and Visual
// Basic source. Each is a pure function of its text; the expressions that drive them are compiled
// once, on first use, with fennic's own engine build. Covered by tests/literals_test.cpp.
#ifndef FENNIC_LITERALS_H
#define FENNIC_LITERALS_H

#include <string>

namespace fennic {

// A backslash before every ' " and \, every line break as \n, no trigraph left ("??=" becomes
// "?\?="), all in double quotes.
std::u16string CppExport(const std::u16string& pattern);
// As CppExport without the trigraph step.
std::u16string JavaExport(const std::u16string& pattern);
// Double quotes doubled, every line break as "\" & vbCrLf & \"", all in double quotes.
std::u16string VbExport(const std::u16string& pattern);

// The contents of every double-quoted literal in C, C++ or Java source, joined and unescaped
// (\\ \" \' \? and \n \r; a backslash at a line end joins the lines). Text without any literal is
// taken whole. Every other escape stays as written for the pattern engine.
std::u16string CppImport(const std::u16string& source);
// The contents of every literal and every line-break, tab or Chr(n) constant in Visual Basic
// source, joined; comments are skipped. Text without any literal is taken whole.
std::u16string VbImport(const std::u16string& source);

}  // namespace fennic

#endif
