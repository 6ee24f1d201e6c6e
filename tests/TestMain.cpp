// Test entry: a Qt application object exists for the whole run, because the
// program pumps the Qt event loop (timers, sockets) from its handlers.
#include <gtest/gtest.h>
#ifdef SF_TEST_WIDGETS
#include <QApplication>
using TestApp = QApplication;
#else
#include <QCoreApplication>
using TestApp = QCoreApplication;
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestApp app(argc, argv);
    return RUN_ALL_TESTS();
}
