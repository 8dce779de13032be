// flavours.h: the flavours korvane-runner-native serves, chosen by its first argument.
#pragma once

#include "runner_protocol.h"

#include <memory>
#include <string>

namespace korvane_runner {

std::unique_ptr<CFlavour> MakePcre2Flavour();
// `extended`: ERE (posix-ere) or BRE (posix-bre).
std::unique_ptr<CFlavour> MakePosixFlavour(bool extended);
// `grammar`: ecmascript, basic, extended, awk, grep or egrep; nullptr for any other name.
std::unique_ptr<CFlavour> MakeStdRegexFlavour(const std::string& grammar);
// ICU's uregex (icu_flavour.cpp, in korvane-runner-icu only).
std::unique_ptr<CFlavour> MakeIcuFlavour();
// Boost.Regex's wregex, Perl syntax (boost_flavour.cpp, in korvane-runner-boost only).
std::unique_ptr<CFlavour> MakeBoostFlavour();
// Oniguruma in its own syntax (onig_flavour.cpp, in korvane-runner-onig only).
std::unique_ptr<CFlavour> MakeOnigFlavour();

}  // namespace korvane_runner
