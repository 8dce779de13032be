// icu_main.cpp: korvane-runner-icu, the runner of the icu flavour (ICU's uregex). A program of its
// own, built only where ICU's development files are, so that Korvane finds it missing (and says
// which package to install) rather than failing to start it.
#include "flavours.h"

#include <cstdio>

int main(int argc, char**)
{
    if (argc > 1) {
        std::fprintf(stderr, "usage: korvane-runner-icu\n");
        return 2;
    }
    return korvane_runner::RunRunner(*korvane_runner::MakeIcuFlavour());
}
