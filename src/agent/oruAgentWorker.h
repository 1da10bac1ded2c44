// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

namespace pondrel {

class oruNetwork;

// The Agent's visit cycle on a thread of its own. The client, its visit timer and every
// delayed visit live on that thread, so the cycle keeps its one-at-a-time order and its
// delays while the main thread stays free for the tray menu and the bus. The main thread talks
// to it only through queued calls of the slots below and through requestStop().
class oruAgentWorker : public QObject
{
    Q_OBJECT

public:
    oruAgentWorker();
    ~oruAgentWorker() override;

    // Callable from any thread: no new visit starts, a running batch ends after its current
    // command (its batches stay in the saved batch file), and tearDown() ends the thread.
    void requestStop();
    bool isStopping() const { return m_stopping; }

public slots:
    // Makes the client and registers this computer when needed.
    void setUp();
    // A "Login" notification's user information: the account to visit for from now on, and a
    // visit 2 s later.
    void login(const QVariantMap &userInfo);
    // A visit after the delay; 0 visits at once.
    void visitAfter(int milliseconds);
    // Drops pending visits and the client, then ends the thread's event loop.
    void tearDown();

signals:
    // What the cycle is doing, for the tray's tooltip: "Idle", "Rendering 2 of 3…", ...
    void statusChanged(const QString &status);

private:
    void visitAndProcess();
    void reportProgress(const QString &status);

    std::unique_ptr<oruNetwork> m_orunet;
    // Guards m_orunet's lifetime against requestStop() from the main thread.
    std::mutex m_orunetMutex;
    // Parent of the pending delayed visits: deleting it cancels them.
    std::unique_ptr<QObject> m_delayedVisits;
    std::atomic<bool> m_stopping = false;
};

} // namespace pondrel
