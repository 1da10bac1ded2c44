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

oruServiceThread::~oruServiceThread()
{
    finish();
}

void oruServiceThread::finish()
{
    // Whoever asked is going away: answers still to come are dropped, and so is work asked
    // for from here on (the wait below lets the context's timers fire).
    m_context = nullptr;
    m_finishing = true;
    if (!m_thread.isRunning())
        return;
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
    post(
        std::move(work), done ? std::move(done) : [] {});
}

void oruServiceThread::post(std::function<void()> work, std::function<void()> continuation)
{
    if (m_finishing)
        return;
    const quint64 id = m_nextId++;
    m_continuations.emplace(id, std::move(continuation));
    if (++m_pending == 1)
        emit busyChanged(true);
    QMetaObject::invokeMethod(m_worker.get(), [this, id, work = std::move(work)] {
        work();
        QMetaObject::invokeMethod(
            this, [this, id] { finished(id); }, Qt::QueuedConnection);
    });
}

void oruServiceThread::finished(quint64 id)
{
    const auto found = m_continuations.find(id);
    if (found == m_continuations.end())
        return;
    const std::function<void()> continuation = std::move(found->second);
    m_continuations.erase(found);
    const bool idle = --m_pending == 0;
    if (m_context)
        continuation();
    if (idle)
        emit busyChanged(false);
}

} // namespace pondrel
