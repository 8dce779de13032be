// Code generation: sample program code that uses the current pattern, subject text, replace-to
// text and options with one regular-expression library and operation, and the keyword colouring
// of that code. Pure text functions; the window is in code_dialog.h. Covered by
// tests/codegen_test.cpp.
#ifndef FENNIC_CODEGEN_H
#define FENNIC_CODEGEN_H

#include <string>
#include <vector>

namespace fennic {

// Language codes; they double as the string ids of the language names.
enum { LANG_CPP = 1, LANG_VB = 2, LANG_JAVA = 5 };

enum OptionsRenderer { RENDER_TARNO, RENDER_GRETA, RENDER_REGEXP, RENDER_JAVA };

typedef std::u16string (*LiteralConverter)(const std::u16string&);

struct CodeTemplateRow {
  int language;
  int library;     // string id of the library name
  LiteralConverter converter;
  OptionsRenderer renderer;
  bool singleLineCapable;
  bool commentsCapable;
  int operation;   // string id of the operation name
  int templateId;  // string id of the template
};

// The eighteen rows, in table order.
const std::vector<CodeTemplateRow>& CodeTemplateTable();

// The option bits rendered for a library (" | IGNORECASE" pieces and the like).
std::u16string RenderOptions(OptionsRenderer renderer, int flags);
// Every dot that stands for any character where the single-line option holds (outside quoted
// runs, classes, comments and escapes) becomes (?:.|\n), which needs no option.
std::u16string RewriteSingleLineDots(const std::u16string& pattern, int flags);
// Comment groups taken out; with the extended option also white space and # comments. What
// stood on either side reads as it did with the comment between them.
std::u16string RemovePatternComments(const std::u16string& pattern, int flags);

// The code of one row for the texts and options, with `templateText` as the row's template
// (the caller loads it from the string table).
std::u16string GenerateCode(const CodeTemplateRow& row, const std::u16string& templateText,
                            const std::u16string& pattern, const std::u16string& text,
                            const std::u16string& replaceTo, int flags);
// As above, with the template from fennic's string table.
std::u16string GenerateCode(const CodeTemplateRow& row, const std::u16string& pattern,
                            const std::u16string& text, const std::u16string& replaceTo, int flags);

// One coloured span of generated code.
enum CodeColour { COLOUR_KEY, COLOUR_PW, COLOUR_STRING, COLOUR_REM, COLOUR_NUMBER, COLOUR_REGEXP };
struct ColourSpan {
  int start;
  int length;
  CodeColour colour;
};
// The spans that the language's colouring expression gives for `code`, in text order.
std::vector<ColourSpan> ColourCode(int language, const std::u16string& code);
// RGB of a colour, 0xRRGGBB.
unsigned ColourRgb(CodeColour colour);

// Splits at every line break (CR LF, LF CR, lone CR or LF) and joins the lines with CR LF; the
// part after the last line break gets none.
std::u16string ToCrLfLines(const std::u16string& text);

}  // namespace fennic

#endif
