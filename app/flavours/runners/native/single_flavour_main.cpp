// single_flavour_main.cpp: the main of a runner program that serves one flavour of its own
// (korvane-runner-icu, -boost, -onig), built with KORVANE_RUNNER_NAME and KORVANE_MAKE_FLAVOUR
// defined. Each is a program of its own, built only where its engine's development files are,
// so that Korvane finds it missing (and says which package to install) rather than failing to
// start it.
#include "flavours.h"

#include <cstdio>

int main(int argc, char**)
{
    if (argc > 1) {
        std::fprintf(stderr, "usage: %s\n", KORVANE_RUNNER_NAME);
        return 2;
    }
    return korvane_runner::RunRunner(*korvane_runner::KORVANE_MAKE_FLAVOUR());
}
