#pragma once
// What a fuzz target does when the code under test breaks a promise: print
// which one and abort, so that libFuzzer keeps the input as a crash. The
// replay driver of the ordinary test suite reports the same way.
#include <cstdio>
#include <cstdlib>

#define VELKARO_FUZZ_CHECK(condition)                                                  \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                    \
    }                                                                                  \
  } while (false)
