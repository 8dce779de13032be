// pattern_names.h: the named groups of a pattern read from its text, for the runners whose
// engine lists no names (ICU, Boost.Regex). Covered by
// app/flavours/runners/native/tests/runner_protocol_test.cpp (NamesFromPatternTest).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace korvane_runner {

// The named groups of a Perl-style pattern and their numbers, in pattern order. Every "(" that
// captures counts: a bare one and the named forms (?<n>...), (?P<n>...) and (?'n'...); escapes,
// classes, \Q...\E runs and (?#...) comments are stepped over, and with `extended` so are #
// comments, so that a "(?<" inside them is not taken for a group.
std::vector<std::pair<std::u16string, int>> ScanNamedGroups(const std::u16string& pattern, bool extended);

}  // namespace korvane_runner
