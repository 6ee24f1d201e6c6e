// Test entry: a Qt application object exists for the whole run, because the
// program pumps the Qt event loop (timers, sockets) from its handlers.
#include <gtest/gtest.h>
#ifdef SF_TEST_WIDGETS
#include <QApplication>
#include <cstdlib>
using TestApp = QApplication;
#else
#include <QCoreApplication>
using TestApp = QCoreApplication;
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
#ifdef SF_TEST_WIDGETS
    // The window tests never need a display; listing them (test discovery) runs without
    // the test environment, so the offscreen platform is the default here.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
#endif
    TestApp app(argc, argv);
    return RUN_ALL_TESTS();
}
