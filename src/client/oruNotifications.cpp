// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNotifications.h"

#include "support/oruLog.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>

namespace pondrel {

namespace {

void registerUserInfoType()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<oruUserInfo>();
        return true;
    }();
    Q_UNUSED(registered);
}

// A sender may leave the dictionary out; anything that is not a{ss} is no user information.
oruUserInfo userInfoOf(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || !arguments.at(1).canConvert<QDBusArgument>())
        return {};
    const auto argument = arguments.at(1).value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a{ss}"))
        return {};
    return qdbus_cast<oruUserInfo>(argument);
}

} // namespace

oruNotifications::oruNotifications(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    registerUserInfoType();
}

bool oruNotifications::post(const QString &name, const QString &object, const oruUserInfo &userInfo,
    QDBusConnection bus, QString *errorMsg)
{
    registerUserInfoType();
    auto fail = [errorMsg](const QString &text) {
        if (errorMsg)
            *errorMsg = text;
        ORU_LOG(text);
        return false;
    };
    if (!bus.isConnected())
        return fail(QStringLiteral("No session bus to post \"%1\" on").arg(name));
    QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, name);
    signal << object << QVariant::fromValue(userInfo);
    if (!bus.send(signal))
        return fail(
            QStringLiteral("Could not post \"%1\": %2").arg(name, bus.lastError().message()));
    return true;
}

bool oruNotifications::observe(const QString &name, const QString &object, Handler handler)
{
    if (!m_bus.isConnected()) {
        m_errorMsg = QStringLiteral("No session bus to observe \"%1\" on").arg(name);
        return false;
    }
    if (!m_subscribedNames.contains(name)) {
        if (!m_bus.connect(QString(), kPath, kInterface, name, this, SLOT(deliver(QDBusMessage)))) {
            m_errorMsg = QStringLiteral("Could not observe \"%1\": %2")
                             .arg(name, m_bus.lastError().message());
            return false;
        }
        m_subscribedNames.append(name);
    }
    m_observers.push_back({name, object, std::move(handler)});
    return true;
}

void oruNotifications::deliver(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.isEmpty() || arguments.first().userType() != QMetaType::QString)
        return;
    const oruNotification notification {
        message.member(), arguments.first().toString(), userInfoOf(message)};
    // A handler may add observers or end the program; work on a copy of the matching list.
    std::vector<Handler> handlers;
    for (const Observer &observer : m_observers) {
        if (observer.name == notification.name
            && (observer.object.isEmpty() || observer.object == notification.object))
            handlers.push_back(observer.handler);
    }
    for (const Handler &handler : handlers)
        handler(notification);
}

} // namespace pondrel
