// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QEventLoop>
#include <QTimer>

namespace pondrel {

// Runs the event loop until sender emits signal (true), or a minute passes (false), so that a
// test waits on what it means and never on a fixed delay.
template<typename Sender, typename Signal>
bool waitForSignal(Sender *sender, Signal signal)
{
    QEventLoop loop;
    bool emitted = false;
    QObject::connect(sender, signal, &loop, [&] {
        emitted = true;
        loop.quit();
    });
    QTimer::singleShot(60'000, &loop, &QEventLoop::quit);
    loop.exec();
    return emitted;
}

} // namespace pondrel
