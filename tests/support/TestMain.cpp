#include "TestEnvironment.h"

#include "platform/Clock.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {
// Every test starts in virtual time, even when the one before switched to real
// time and failed before switching back.
class VirtualTimeListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override
    {
        platform::Clock::instance().setVirtual(true);
        platform::Clock::instance().setVirtualIdleWait(0);
    }
};
} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing_support::setUpTestHome();
    QApplication app(argc, argv);
    // What the program asks to tell a test run from a real one.
    app.setProperty("marvestoUnitTests", true);
    ::testing::InitGoogleTest(&argc, argv);
    platform::Clock::instance().setVirtual(true);
    ::testing::UnitTest::GetInstance()->listeners().Append(new VirtualTimeListener);
    return RUN_ALL_TESTS();
}
