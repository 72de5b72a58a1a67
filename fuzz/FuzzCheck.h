// What the fuzz targets share: a property check that ends the run on a violation, naming the
// property and its line so that a finding reads at once.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(property)                                                                       \
    do {                                                                                           \
        if (!(property)) {                                                                         \
            std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #property); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
