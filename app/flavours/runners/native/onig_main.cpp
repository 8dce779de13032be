// onig_main.cpp: korvane-runner-onig, the runner of the oniguruma flavour. A program of its own,
// built only where Oniguruma's development files are, so that Korvane finds it missing (and says
// which package to install) rather than failing to start it.
#include "flavours.h"

#include <cstdio>

int main(int argc, char**)
{
    if (argc > 1) {
        std::fprintf(stderr, "usage: korvane-runner-onig\n");
        return 2;
    }
    return korvane_runner::RunRunner(*korvane_runner::MakeOnigFlavour());
}
