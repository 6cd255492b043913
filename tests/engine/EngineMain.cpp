// The browser engine needs a graphical application object; the tests run it on the offscreen
// platform.
#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Also when the test list is read at build time, outside ctest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The tests run as root in CI, where the engine's sandbox refuses to start; the test switches it
    // off (for itself and the program's child processes it starts), as a user would have to.
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
