// SPDX-License-Identifier: GPL-2.0-or-later
// The notifications the Publisher sends the Agent, and the Agent's "Refresh".
#include "publisher/app/oruController.h"

#include "support/oruLog.h"

#include <QTimer>

namespace pondrel {

bool oruController::sendLoginNotification(const QString &name)
{
    return oruNotifications::post(oruNotifications::kLogin, oruNotifications::kAgentObject,
        {{oruNotifications::kLastLoginKey, name}}, m_bus);
}

// Safe from any thread: posting only queues a signal on the bus connection.
bool oruController::sendVisitNotification()
{
    return oruNotifications::post(
        oruNotifications::kVisit, oruNotifications::kAgentObject, {}, m_bus);
}

void oruController::updaterWillRelaunchApplication()
{
    ORU_LOG(QStringLiteral("MARK"));
    oruNotifications::post(oruNotifications::kTerminate, oruNotifications::kAgentObject, {}, m_bus);
}

void oruController::handleUpdateRestart()
{
    ORU_LOG(QStringLiteral("MARK"));
    oruNotifications::post(oruNotifications::kTerminate, oruNotifications::kAgentObject, {}, m_bus);
}

void oruController::registerNotificationObserver()
{
    if (m_notifications)
        return;
    m_notifications = std::make_unique<oruNotifications>(m_bus);
    m_notifications->observe(oruNotifications::kRefresh, oruNotifications::kPublisherObject,
        [this](const oruNotification &notification) { refreshPhoto(notification); });
}

void oruController::refreshPhoto(const oruNotification &notification)
{
    ORU_LOG(QStringLiteral("refreshPhoto: %1 from %2").arg(notification.name, notification.object));
    QTimer::singleShot(kAgentRefreshDelayMs, this, &oruController::refresh);
}

} // namespace pondrel
