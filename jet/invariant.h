// VOSTREL_ASSERT: checks a numbered invariant of the journal or the page
// transaction (they are listed in jet/journal.h and jet/page_transaction.h)
// where the code relies on it. On in Debug, test and sanitizer builds
// (VOSTREL_ASSERTIONS, set by CMake), compiled out of a release build, where
// the condition is not even evaluated. A failed check names the invariant and
// the line and aborts: to the journal an abort is one more cut-off change,
// which the next open rolls back.
#pragma once

#include <cstdio>
#include <cstdlib>

#if defined(VOSTREL_ASSERTIONS) || !defined(NDEBUG)
#define VOSTREL_ASSERT(condition, invariant) \
  ((condition) ? (void)0 : ::jet::InvariantBroken(invariant, #condition, __FILE__, __LINE__))
#define VOSTREL_ASSERTIONS_ON 1
#else
#define VOSTREL_ASSERT(condition, invariant) ((void)0)
#define VOSTREL_ASSERTIONS_ON 0
#endif

namespace jet {

[[noreturn]] inline void InvariantBroken(const char* invariant, const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant %s broken: %s\n", file, line, invariant, condition);
  std::abort();
}

}  // namespace jet
