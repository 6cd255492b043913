#pragma once
// Helpers of the small dialogs' tests: finding controls by their names and driving a modal dialog
// from inside its own event loop, with a bound on the wait.

#include <QDialog>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace auxtest {

// The named control; a missing one fails the test (through the exception) instead of crashing it.
template <typename T> T& Get(const QObject& parent, const char* name)
{
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::runtime_error(std::string("no control ") + name);
    return *found;
}

// Calls run (which shows dialog modally and returns when it closes) and meanwhile runs body once the
// dialog's loop has started. A dialog still open after ten seconds is rejected and the test fails.
template <typename R>
R DriveModal(QDialog& dialog, const std::function<R()>& run, const std::function<void()>& body)
{
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dialog, [&] {
        timedOut = true;
        dialog.reject();
    });
    guard.start(10000);
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.isModal());
        try {
            body();
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
        // A body that left the dialog open ends it here, so a failed check cannot hang the test.
        if (dialog.isVisible())
            dialog.reject();
    });
    const R result = run();
    guard.stop();
    EXPECT_FALSE(timedOut) << "the dialog did not close";
    return result;
}

} // namespace auxtest
