// native_main.cpp: korvane-runner-native FLAVOUR, one runner process for the engines that live in
// C and C++ libraries (pcre2, posix-ere, posix-bre, cpp-ecmascript ... cpp-egrep).
#include "flavours.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    using namespace korvane_runner;
    const char* name = argc > 1 ? argv[1] : "";
    std::unique_ptr<CFlavour> flavour;
    if (std::strcmp(name, "pcre2") == 0)
        flavour = MakePcre2Flavour();
    else if (std::strcmp(name, "posix-ere") == 0 || std::strcmp(name, "posix-bre") == 0)
        flavour = MakePosixFlavour(name[6] == 'e');
    else if (std::strncmp(name, "cpp-", 4) == 0)
        flavour = MakeStdRegexFlavour(name + 4);
    if (!flavour || argc > 2) {
        std::fprintf(stderr,
                     "usage: korvane-runner-native FLAVOUR\n"
                     "FLAVOUR: pcre2, posix-ere, posix-bre, cpp-ecmascript, cpp-basic, cpp-extended,\n"
                     "         cpp-awk, cpp-grep or cpp-egrep\n");
        return 2;
    }
    return RunRunner(*flavour);
}
