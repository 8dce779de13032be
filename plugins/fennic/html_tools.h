// HTML clean-ups for text copied from web pages: decoding character references and stripping
// tags and comments. Covered by tests/html_tools_test.cpp.
#ifndef FENNIC_HTML_TOOLS_H
#define FENNIC_HTML_TOOLS_H

#include <string>

namespace fennic {

// Decodes &name; (the HTML 4.01 entities: exact case first, then without case), &#ddddd; and
// &#xhhhh;. The semicolon is optional. Unknown names stay as written. A decimal value above 65535
// (at most 99999) becomes its UTF-16 surrogate pair.
std::u16string ConvertHtmlEntities(const std::u16string& text);
// Removes tags, then comments that close on their own line (or run unclosed to the end of a
// text without further line breaks), then folds every run of white space into one blank.
std::u16string RemoveHtmlTags(const std::u16string& text);

// The code of an entity name: exact case first, then the first entry equal without case; -1
// when the name is not an HTML 4.01 entity.
int LookupHtmlEntity(const std::u16string& name);
// Number of entries in the entity table (252).
int HtmlEntityCount();

}  // namespace fennic

#endif
