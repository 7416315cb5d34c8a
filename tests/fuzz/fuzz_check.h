// What a fuzz target does when a property fails: says which and where, then
// aborts, so that libFuzzer keeps the input as a crash.
#ifndef QIV_TESTS_FUZZ_FUZZ_CHECK_H
#define QIV_TESTS_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                              \
  do {                                                                          \
    if (!(condition)) {                                                         \
      std::fprintf(stderr, "%s:%d: check failed: %s\n  ", __FILE__, __LINE__, \
                   #condition);                                                 \
      std::fprintf(stderr, __VA_ARGS__);                                        \
      std::fprintf(stderr, "\n");                                               \
      std::abort();                                                             \
    }                                                                           \
  } while (0)

#endif
