#pragma once
// Waiting on a condition with a deadline, for tests that watch other
// processes: the event loop keeps running meanwhile.
#include "tests/Deadline.h"

#include <QElapsedTimer>
#include <QTest>

namespace zelt::test {

// Polls cond every 20 ms until it holds (true) or timeoutMs (at normal
// speed, stretched for this build) passed (false).
template <class Cond>
bool waitForCondition(Cond cond, int timeoutMs)
{
    timeoutMs = deadline(timeoutMs);
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

}  // namespace zelt::test
