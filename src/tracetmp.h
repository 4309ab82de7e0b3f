#pragma once
#include <cstdio>
#include <cstdlib>
#include <time.h>
inline void traceTmp(const char *what)
{
    static const bool on = std::getenv("KAPPWERK_TRACE") != nullptr;
    if (!on)
        return;
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    std::fprintf(stderr, "TRACE %.3f %s\n", t.tv_sec * 1e3 + t.tv_nsec / 1e6, what);
}
