// The browser engine needs a graphical application object; the tests run it on the offscreen
// platform (and, as root in CI, with the engine's sandbox switched off by the test environment).
#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Also when the test list is read at build time, outside ctest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
