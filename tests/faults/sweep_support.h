// The fault sweep: run a scenario once to count its fault points, then again
// with each point failing once, and with every point from it on failing.
#ifndef QIV_TESTS_SWEEP_SUPPORT_H
#define QIV_TESTS_SWEEP_SUPPORT_H

#include <functional>
#include <string>
#include <vector>

#include "machine_test.h"

struct SweepRun {
  long point;
  bool onward;
  int exitCode;
};

struct Sweep {
  std::function<void()> setUp;                 // the machine before the run
  std::function<int()> run;                    // runs the program, returns its exit status
  std::function<void(const SweepRun &)> check; // the invariants after one run
  int retries = 2;                             // Retry answers before Cancel
};

// Answers as a user would who gives a failing file a bounded number of
// retries: OK to questions, Retry `retries` times, then Cancel.
inline void AnswerLikeAUser(int retries) {
  auto count = std::make_shared<int>(0);
  sim::M().answerer = [count, retries](const sim::Box &box) {
    if ((box.type & MB_TYPEMASK) == MB_RETRYCANCEL) return ++*count > retries ? IDCANCEL : IDRETRY;
    return IDOK;
  };
}

// Returns the number of faulted runs made.
inline long RunSweep(const Sweep &sweep) {
  sweep.setUp();
  AnswerLikeAUser(sweep.retries);
  sweep.run();
  long points = sim::M().faultPoints;
  long runs = 0;
  for (long k = 1; k <= points; ++k)
    for (bool onward : {false, true}) {
      sweep.setUp();
      AnswerLikeAUser(sweep.retries);
      sim::M().plan.failAt = k;
      sim::M().plan.onward = onward;
      SweepRun r{k, onward, sweep.run()};
      ++runs;
      sweep.check(r);
      if (::testing::Test::HasFatalFailure()) return runs;
    }
  return runs;
}

// The call at which the plan first failed, for messages.
inline std::string FailedCall() {
  for (const sim::CallRecord &c : sim::M().calls)
    if (c.failed) return c.name + " " + c.args;
  return "(none)";
}

#endif
