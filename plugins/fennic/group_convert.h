// The group conversions: non-capturing groups to capturing ones, and unnamed capturing groups to
// non-capturing ones, in the subtree of the current element. Both work through the element tree
// and CElement::SetText only. Covered by tests/group_convert_test.cpp and
// tests/rewrite_property_test.cpp.
//
// A conversion changes group numbers, never which texts the pattern matches:
//  - a group with options keeps them: (?i:ab) becomes ((?i)ab), whose modifier reaches to the end
//    of the new group, as the options reached to the end of the old one;
//  - only groups written "(" become non-capturing: named and balancing groups stay;
//  - every reference to a group by number (\1, \k<1>, (?1), (?(1)..), (?<x-1>..)) anywhere in
//    the pattern is renumbered to follow its group; a group that such a reference needs is left
//    as it is, and so is every group whose conversion would change which groups share a number.
#ifndef FENNIC_GROUP_CONVERT_H
#define FENNIC_GROUP_CONVERT_H

#include "app/plugin_host/korvane_plugin.h"

namespace fennic {

// Whether converting the groups of `current`'s subtree would rewrite anything. `root` is the
// pattern's root element.
bool HasConvertibleGroup(const CElement& root, const CElement& current, bool toCapture);
// Converts the groups of `current`'s subtree, inner groups before the groups around them, and
// renumbers the references in the whole pattern.
void ConvertGroups(const CElement& root, const CElement& current, bool toCapture);

}  // namespace fennic

#endif
