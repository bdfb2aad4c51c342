// The single-instance guard on its named mutex: within one process, and
// between real processes, where a second one ends with exit code 1 and a
// killed first one frees the mutex.
#include "platform/win/NamedMutexGuard.h"

#include "WinTestSupport.h"

#include <gtest/gtest.h>
#include <memory>

using zelt::win::NamedMutexGuard;
using namespace zelt::wintest;

namespace {

// The tool's own mutex name; the test runs in a private Wine prefix, so no
// running tool can interfere.
const std::u16string kToolMutex = u"orewazeltda";

TEST(NamedMutexGuard, SecondGuardOfTheNameIsRefusedWhileTheFirstLives)
{
    auto first = std::make_unique<NamedMutexGuard>(kToolMutex);
    ASSERT_TRUE(first->acquired());
    NamedMutexGuard second(kToolMutex);
    EXPECT_FALSE(second.acquired());
    NamedMutexGuard other(u"orewazeltda-other");
    EXPECT_TRUE(other.acquired()) << "a guard of another name is independent";

    first.reset();
    // The refused guard kept no handle, so the mutex went with the first one.
    EXPECT_TRUE(NamedMutexGuard(kToolMutex).acquired());
}

TEST(NamedMutexGuard, NameThatCannotBeAMutexIsNotAcquired)
{
    // A backslash names a namespace that does not exist: creation fails.
    NamedMutexGuard guard(u"NoSuchNamespace\\orewazeltda");
    EXPECT_FALSE(guard.acquired());
}

class InstanceProcesses : public ::testing::Test {
protected:
    void SetUp() override
    {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, kReadyEvent);
        ASSERT_NE(ready_, nullptr);
    }
    void TearDown() override { CloseHandle(ready_); }

    // Starts a holder; true when it took the guard within the deadline.
    bool startHolder(std::unique_ptr<ChildProcess>& holder)
    {
        ResetEvent(ready_);
        holder = std::make_unique<ChildProcess>(L"instance_holder.exe",
                                                L"orewazeltda " + std::wstring(kReadyEvent));
        if (!holder->started())
            return false;
        const HANDLE waitOn[] = {ready_, holder->handle()};
        return WaitForMultipleObjects(2, waitOn, FALSE, 30000) == WAIT_OBJECT_0;
    }

    static constexpr const wchar_t* kReadyEvent = L"zelt-instance-test-ready";
    HANDLE ready_ = nullptr;
};

TEST_F(InstanceProcesses, SecondEndsWithOneAndKillingTheFirstFreesTheMutex)
{
    std::unique_ptr<ChildProcess> first;
    ASSERT_TRUE(startHolder(first)) << "the first process never took the guard (exit code "
                                    << (first ? first->exitCode() : 0) << ")";

    std::unique_ptr<ChildProcess> second;
    EXPECT_FALSE(startHolder(second)) << "the second process took the guard too";
    ASSERT_TRUE(second->started());
    ASSERT_TRUE(second->waitForExit(30000)) << "the second process did not end";
    EXPECT_EQ(second->exitCode(), 1u);
    EXPECT_TRUE(first->running());
    EXPECT_FALSE(NamedMutexGuard(kToolMutex).acquired()) << "the first process holds the mutex";

    // Killed without a chance to clean up, the first still frees the mutex.
    first->kill();
    EXPECT_FALSE(first->running());
    EXPECT_TRUE(waitUntil([] { return NamedMutexGuard(kToolMutex).acquired(); }, 10000));

    std::unique_ptr<ChildProcess> third;
    EXPECT_TRUE(startHolder(third)) << "a new process cannot take the freed mutex (exit code "
                                    << (third ? third->exitCode() : 0) << ")";
}

}  // namespace
