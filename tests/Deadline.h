#pragma once
// How long a test waits for an event that comes from another process, a
// pseudo-terminal or the event loop: a deadline far beyond the event's
// normal time, stretched by one factor for a slow build.
//
// The sanitized build runs several times slower than the normal one, and a
// busy machine slows both: its tests get a larger factor (set by the build,
// ZELT_TEST_DEADLINE_SCALE_DEFAULT). ZELT_TEST_DEADLINE_SCALE in the
// environment overrides it for a run. A wait ends as soon as its event has
// come, so the factor costs nothing on a passing test.
#include <cstdlib>

#ifndef ZELT_TEST_DEADLINE_SCALE_DEFAULT
#define ZELT_TEST_DEADLINE_SCALE_DEFAULT 1
#endif

namespace zelt::test {

inline int deadlineScale()
{
    static const int scale = [] {
        if (const char* text = std::getenv("ZELT_TEST_DEADLINE_SCALE")) {
            const int n = std::atoi(text);
            if (n >= 1 && n <= 100)
                return n;
        }
        return ZELT_TEST_DEADLINE_SCALE_DEFAULT;
    }();
    return scale;
}

// A deadline of ms at normal speed, for this build.
inline int deadline(int ms)
{
    return ms * deadlineScale();
}

}  // namespace zelt::test
