#pragma once

#include <cstdio>
#include <cstring>

// "PROGRAM --version" prints the program's name and version and nothing else;
// answered before any start-up, so it needs no display, settings or data folder.
inline bool printedVersion(int argc, char *argv[], const char *program)
{
    if (argc != 2 || std::strcmp(argv[1], "--version") != 0)
        return false;
    std::printf("%s %s\n", program, LTA_VERSION_TEXT);
    return true;
}
