// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/app/oruServiceThread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace pondrel {

oruServiceThread::oruServiceThread(QObject *context)
    : QObject(context)
    , m_context(context)
    , m_worker(std::make_unique<QObject>())
{
    m_thread.setObjectName(QStringLiteral("service"));
    m_worker->moveToThread(&m_thread);
    m_thread.start();
}

oruServiceThread::~oruServiceThread() { finish(); }

void oruServiceThread::finish()
{
    if (!m_thread.isRunning())
        return;
    // Whoever asked is going away: answers still to come are dropped.
    m_context = nullptr;
    // Queued after every piece of work already posted, so that work still runs.
    QMetaObject::invokeMethod(m_worker.get(), [this] {
        m_worker->moveToThread(thread());
        m_thread.quit();
    });
    // Work that waits for the GUI thread (an alert) must not wait forever.
    while (!m_thread.wait(QDeadlineTimer(20)))
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void oruServiceThread::run(std::function<void()> work, std::function<void()> done)
{
    post([work = std::move(work), done = std::move(done)]() -> std::function<void()> {
        work();
        return done ? done : [] {};
    });
}

void oruServiceThread::post(std::function<std::function<void()>()> work)
{
    if (++m_pending == 1)
        emit busyChanged(true);
    QMetaObject::invokeMethod(m_worker.get(), [this, work = std::move(work)] {
        std::function<void()> continuation = work();
        QMetaObject::invokeMethod(
            this, [this, continuation] { finished(continuation); }, Qt::QueuedConnection);
    });
}

void oruServiceThread::finished(const std::function<void()> &continuation)
{
    const bool idle = --m_pending == 0;
    if (m_context)
        continuation();
    if (idle)
        emit busyChanged(false);
}

} // namespace pondrel
