// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "client/oruNotifications.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QThread>

#include <memory>

namespace pondrel {

class oruAgentWorker;

// Pondrel Agent: keeps this computer registered with the service and runs the visit cycle,
// steered by the Publisher's notifications on the session bus. This object lives on the main
// thread and only forwards work to the visit thread, so it answers the bus and the tray menu
// even while a batch of pictures is rendered and uploaded.
//
// Start-up, in this order: claimBusName() (one Agent per session), readSettings() (the Debug
// setting and the log file), the tray if there is one, then start().
class oruAgent : public QObject
{
    Q_OBJECT

public:
    static inline const QString kBusName = QStringLiteral("com.trevane.oru_agent");
    static inline const QString kLogFileName = QStringLiteral("pondrel_agent.log");

    // Everything of the Agent on the bus goes through bus: its name, the notifications it
    // observes and posts, its remote object.
    explicit oruAgent(
        QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~oruAgent() override;

    // Takes the Agent's name on the session bus; false (with the reason in errorMsg) when
    // there is no bus or another Agent holds the name.
    bool claimBusName(QString &errorMsg);

    // Reads "Debug"; when it is on, empties the log file on the desktop and sends standard
    // error, and with it every log line, there.
    void readSettings();
    // Makes the client and registers the computer (on the visit thread), observes the
    // notifications, offers the remote object, and schedules the first visit when a sign-on is
    // remembered.
    void start();

    bool debugMode() const { return m_debugMode; }
    static QString logFilePath();
    static bool redirectStdErrToLogFile();

    bool offlineStatus() const { return m_offlineStatus; }
    void setOfflineStatus(bool offline) { m_offlineStatus = offline; }
    QString getOfflineStatusRequest(const QString &request) const;

    // Tells the Publisher to refresh its current album.
    bool sendRefreshNotification();

    void loginNotification(const oruNotification &notification);
    void visitNotification(const oruNotification &notification);
    void offlineNotification(const oruNotification &notification);
    void terminateNotification(const oruNotification &notification);
    void didWakeFromSleep();

    // The menu's actions that need no window.
    void openPublisher();
    void visit();
    // Ends the program once the visit thread has finished its current command.
    void quit();
    bool isQuitting() const { return m_quitting; }

signals:
    // What the visit cycle is doing: "Idle", "Rendering 2 of 3…", "Last visit failed: …".
    void statusChanged(const QString &status);
    void quitting();

private slots:
    void prepareForSleep(bool sleeping);

private:
    void registerNotificationObserver();
    void observeWake();
    void askVisitAfter(int milliseconds);

    bool m_debugMode = false;
    bool m_offlineStatus = false;
    bool m_quitting = false;
    QDBusConnection m_bus;
    oruNotifications m_notifications;
    QThread m_visitThread;
    std::unique_ptr<oruAgentWorker> m_worker;
};

} // namespace pondrel
