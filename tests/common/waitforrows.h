#pragma once

#include <QtCore/QDeadlineTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTimer>

namespace korva::test {

// Runs the event loop until every row of the window's current table is in
// its grid, as a user waits for it. False when that took longer than timeoutMs.
template<class Window>
bool waitForRows(Window &w, int timeoutMs = 60000)
{
    QEventLoop loop;
    bool done = false;
    w.whenRowsComplete([&] {
        done = true;
        loop.quit();
    });
    if (!done) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done;
}

} // namespace korva::test
