// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDBusConnection>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace pondrel {

// The notifications the Publisher and the Agent exchange: signals on the session bus at one
// path and interface, the member being the notification's name, the arguments the sending
// object's name and a text dictionary. Receivers pick the notifications they want by name and
// object, so a signal meant for the Agent never reaches a Publisher observer.
//
//     oruNotifications center;
//     center.observe(oruNotifications::kVisit, oruNotifications::kAgentObject,
//         [](const oruNotification &) { ... });
//     oruNotifications::post(oruNotifications::kRefresh, oruNotifications::kPublisherObject);
using oruUserInfo = QMap<QString, QString>;

struct oruNotification
{
    QString name;
    QString object;
    oruUserInfo userInfo;
};

class oruNotifications : public QObject
{
    Q_OBJECT

public:
    static inline const QString kPath = QStringLiteral("/com/trevane/pondrel");
    static inline const QString kInterface = QStringLiteral("com.trevane.pondrel.Notification");
    // Objects: notifications for the Agent, and those for the Publisher.
    static inline const QString kAgentObject = QStringLiteral("com.trevane.oruagent");
    static inline const QString kPublisherObject = QStringLiteral("com.trevane.pondrel");
    static inline const QString kLogin = QStringLiteral("Login");
    static inline const QString kVisit = QStringLiteral("Visit");
    static inline const QString kTerminate = QStringLiteral("Terminate");
    static inline const QString kOffline = QStringLiteral("Offline");
    static inline const QString kRefresh = QStringLiteral("Refresh");
    static inline const QString kLastLoginKey = QStringLiteral("LastLogin");
    static inline const QString kRequestKey = QStringLiteral("request");

    using Handler = std::function<void(const oruNotification &)>;

    explicit oruNotifications(
        QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    // Sends at once; false (with the reason in errorMsg) when there is no bus or the signal
    // could not be queued.
    static bool post(const QString &name, const QString &object, const oruUserInfo &userInfo = {},
        QDBusConnection bus = QDBusConnection::sessionBus(), QString *errorMsg = nullptr);

    // Calls handler for every notification of that name from that object; an empty object
    // means any object. Handlers run on the thread this center lives on.
    bool observe(const QString &name, const QString &object, Handler handler);

    QString errorMsg() const { return m_errorMsg; }

private slots:
    void deliver(const QDBusMessage &message);

private:
    struct Observer
    {
        QString name;
        QString object;
        Handler handler;
    };

    QDBusConnection m_bus;
    std::vector<Observer> m_observers;
    QStringList m_subscribedNames;
    QString m_errorMsg;
};

} // namespace pondrel
