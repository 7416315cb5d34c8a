// Shared pieces of the tests that run the programs on the simulated machine.
#ifndef QIV_TESTS_MACHINE_TEST_H
#define QIV_TESTS_MACHINE_TEST_H

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "sim/sim.h"

// The system's texts compile to Big5 here as in the programs; failures show
// them in UTF-8.
#define EXPECT_TEXT(actual, expected) EXPECT_EQ(sim::Utf8(actual), sim::Utf8(expected))

// The captions of the message boxes shown, in order, against the expected
// ones; both shown in UTF-8.
inline void ExpectCaptions(std::initializer_list<const char *> expected) {
  std::vector<std::string> want, got;
  for (const char *c : expected) want.push_back(sim::Utf8(c));
  for (const sim::Box &b : sim::M().boxes) got.push_back(sim::Utf8(b.caption));
  EXPECT_EQ(got, want);
}

inline void Answer(std::initializer_list<int> buttons) {
  for (int b : buttons) sim::M().answers.push_back(sim::Answer{b, nullptr});
}

inline void AnswerThen(int button, std::function<void()> during) {
  sim::M().answers.push_back(sim::Answer{button, std::move(during)});
}


// A directory path of exactly n characters, in components of at most 40.
inline std::string LongDirectory(size_t n) {
  std::string path = "C:";
  char letter = 'A';
  while (path.size() < n) {
    path += '\\';
    size_t take = std::min<size_t>(40, n - path.size());
    if (take == 0) take = 1;
    path += std::string(take, letter);
    letter = letter == 'Z' ? 'A' : (char)(letter + 1);
  }
  path.resize(n);
  if (path.back() == '\\') path.back() = 'Q';
  return path;
}

// Moves the Windows and system directories of the machine.
inline void UseDirectories(const std::string &windows, const std::string &system) {
  sim::M().windowsDir = windows;
  sim::M().systemDir = system;
  sim::AddDir(windows);
  sim::AddDir(system);
}

#endif
