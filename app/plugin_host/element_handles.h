// CElement handles for the document's element records. The records belong to the document and
// know nothing of the plugin API; the plugin host makes the handles it gives to plugins here.
// Covered by app/plugin_host/tests/element_handles_test.cpp.
#ifndef KORVANE_ELEMENT_HANDLES_H
#define KORVANE_ELEMENT_HANDLES_H

#include "app/document/pattern/element_records.h"
#include "app/plugin_host/korvane_plugin.h"

// CElement::GetElementType answers a record's type unchanged, so the public codes must stay the
// engine's element kinds (a recursion is a delegate, a fixed repeat ELEMENT_FIXED).
namespace element_handles_detail {
constexpr int kCodeAndKind[][2] = {
    {ZEL_NONE, ELEMENT_NONE},           {ZEL_ALTERNATIVE, ELEMENT_ALTERNATIVE},
    {ZEL_ASSERTION, ELEMENT_ASSERTION}, {ZEL_BACKREF, ELEMENT_BACKREF},
    {ZEL_BOUNDARY, ELEMENT_BOUNDARY},   {ZEL_BRACKET, ELEMENT_BRACKET},
    {ZEL_RECURSIVE, ELEMENT_DELEGATE},  {ZEL_EMPTY, ELEMENT_EMPTY},
    {ZEL_LASTMATCH, ELEMENT_LASTMATCH}, {ZEL_GREEDY, ELEMENT_GREEDY},
    {ZEL_INDEPENDENT, ELEMENT_INDEPENDENT}, {ZEL_LIST, ELEMENT_LIST},
    {ZEL_POSIX, ELEMENT_POSIX},         {ZEL_POSSESSIVE, ELEMENT_POSSESSIVE},
    {ZEL_CHARSET, ELEMENT_CHARSET},     {ZEL_RELUCTANT, ELEMENT_RELUCTANT},
    {ZEL_FIXEDREPEAT, ELEMENT_FIXED},   {ZEL_STRING, ELEMENT_STRING},
    {ZEL_CONDITIONAL, ELEMENT_CONDITIONAL}, {ZEL_NONCAPTURE_GROUP, ELEMENT_NONCAPTURE_GROUP},
    {ZEL_CAPTURE_GROUP, ELEMENT_CAPTURE_GROUP}, {ZEL_MODE_MODIFIER, ELEMENT_MODE_MODIFIER}};
constexpr bool CodesAreKinds() {
  for (const auto& pair : kCodeAndKind)
    if (pair[0] != pair[1]) return false;
  return true;
}
}  // namespace element_handles_detail
static_assert(element_handles_detail::CodesAreKinds(), "plugin element codes differ from the engine's element kinds");

// A counted handle to the tree's root record (an empty handle when the tree is empty).
inline CElement RootHandle(const CElementTree& tree) { return CElement(tree.Root()); }
// A counted handle to the record of a compiled element (an empty handle when it has none).
inline CElement HandleOf(const CElementTree& tree, const HostElement* e) { return CElement(tree.Lookup(e)); }

#endif
