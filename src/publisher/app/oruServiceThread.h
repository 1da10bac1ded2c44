// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace pondrel {

// The one thread on which the Publisher talks to the service. The client has no lock, so every
// call goes through this single thread, one after another in the order asked; the window never
// waits for the service. Each piece of work hands its result to a continuation that runs on the
// thread of the context object (the controller's: the GUI thread), unless the context is gone.
//
//     service.run<bool>([net] { return net->signOn(user, password); },
//         [this](bool ok) { ... }); // back on the GUI thread
class oruServiceThread : public QObject
{
    Q_OBJECT

public:
    explicit oruServiceThread(QObject *context);
    // Finishes the work already queued, then ends the thread.
    ~oruServiceThread() override;

    template <typename Result>
    void run(std::function<Result()> work, std::function<void(Result)> done)
    {
        // The result is plain data and may go on either thread; the continuation, which may
        // hold widgets, stays on this object's thread.
        auto result = std::make_shared<std::optional<Result>>();
        post([work = std::move(work), result] { result->emplace(work()); },
            [done = std::move(done), result] { done(std::move(**result)); });
    }
    void run(std::function<void()> work, std::function<void()> done = {});

    // Pieces of work queued or running whose continuation has not run yet.
    int pending() const { return m_pending; }
    bool isBusy() const { return m_pending > 0; }
    // Waits (blocking) until the queued work is done, dropping its continuations; only on the
    // way out. Work asked for afterwards, even while it waits, is dropped.
    void finish();

signals:
    void busyChanged(bool busy);

private:
    void post(std::function<void()> work, std::function<void()> continuation);
    void finished(quint64 id);

    QPointer<QObject> m_context;
    QThread m_thread;
    std::unique_ptr<QObject> m_worker;
    // Touched on this object's thread only.
    std::map<quint64, std::function<void()>> m_continuations;
    quint64 m_nextId = 0;
    int m_pending = 0;
    bool m_finishing = false;
};

} // namespace pondrel
