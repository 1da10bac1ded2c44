// SPDX-License-Identifier: GPL-2.0-or-later
#include "agent/oruAgent.h"

#include "agent/oruAgentSrvr.h"
#include "agent/oruAgentWorker.h"
#include "support/Paths.h"
#include "support/Preferences.h"
#include "support/oruLog.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QProcess>

#include <fcntl.h>
#include <unistd.h>

namespace pondrel {

namespace {

const QString kDebugKey = QStringLiteral("Debug");
const QString kPublisherProgram = QStringLiteral("pondrel-publisher");
constexpr int kWakeAndMenuDelayMs = 5000;

QString describe(const oruNotification &notification)
{
    return QStringLiteral("%1 (object %2)").arg(notification.name, notification.object);
}

QString describe(const oruUserInfo &userInfo)
{
    QStringList pairs;
    for (auto entry = userInfo.cbegin(); entry != userInfo.cend(); ++entry)
        pairs.append(QStringLiteral("%1 = %2;").arg(entry.key(), entry.value()));
    return QStringLiteral("{%1}").arg(pairs.join(u' '));
}

} // namespace

oruAgent::oruAgent(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_notifications(m_bus)
    , m_worker(std::make_unique<oruAgentWorker>())
{
    m_worker->moveToThread(&m_visitThread);
    connect(m_worker.get(), &oruAgentWorker::statusChanged, this, &oruAgent::statusChanged);
    // The program ends when the visit thread has let go of its work, not before.
    connect(
        &m_visitThread, &QThread::finished, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

oruAgent::~oruAgent()
{
    if (m_visitThread.isRunning()) {
        m_worker->requestStop();
        QMetaObject::invokeMethod(m_worker.get(), &oruAgentWorker::tearDown, Qt::QueuedConnection);
        m_visitThread.wait();
    }
}

bool oruAgent::claimBusName(QString &errorMsg)
{
    if (!m_bus.isConnected()) {
        errorMsg = QStringLiteral("There is no session bus: %1").arg(m_bus.lastError().message());
        return false;
    }
    const auto reply = m_bus.interface()->registerService(kBusName,
        QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        errorMsg = QStringLiteral("Pondrel Agent is already running.");
        return false;
    }
    return true;
}

void oruAgent::readSettings()
{
    m_debugMode = Preferences::shared().value(kDebugKey, false).toBool();
    if (m_debugMode)
        redirectStdErrToLogFile();
    ORU_LOG(QStringLiteral("MARK"));
}

QString oruAgent::logFilePath()
{
    return QDir(Paths::desktopFolder()).filePath(kLogFileName);
}

bool oruAgent::redirectStdErrToLogFile()
{
    const QString path = logFilePath();
    Paths::ensureFolder(Paths::desktopFolder());
    const int fd = ::open(
        QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        oruLog::platformLog(QStringLiteral("Could not open the log file %1").arg(path));
        return false;
    }
    const bool redirected = ::dup2(fd, STDERR_FILENO) >= 0;
    ::close(fd);
    return redirected;
}

void oruAgent::start()
{
    m_visitThread.start();
    QMetaObject::invokeMethod(m_worker.get(), &oruAgentWorker::setUp, Qt::QueuedConnection);
    registerNotificationObserver();
    setOfflineStatus(false);
    const QVariant lastLogin
        = Preferences::shared().value(oruNotifications::kLastLoginKey, QVariant());
    if (lastLogin.isValid()) {
        loginNotification({oruNotifications::kLogin, QStringLiteral("oruAgent"),
            {{oruNotifications::kLastLoginKey, lastLogin.toString()}}});
    }
    observeWake();
}

void oruAgent::registerNotificationObserver()
{
    ORU_LOG(QStringLiteral("MARK"));
    const auto observe
        = [this](const QString &name, void (oruAgent::*handler)(const oruNotification &)) {
              if (!m_notifications.observe(name, oruNotifications::kAgentObject,
                      [this, handler](
                          const oruNotification &notification) { (this->*handler)(notification); }))
                  ORU_LOG(m_notifications.errorMsg());
          };
    observe(oruNotifications::kVisit, &oruAgent::visitNotification);
    observe(oruNotifications::kOffline, &oruAgent::offlineNotification);
    observe(oruNotifications::kTerminate, &oruAgent::terminateNotification);
    observe(oruNotifications::kLogin, &oruAgent::loginNotification);

    new oruAgentSrvr(*this);
    if (!m_bus.registerObject(oruAgentSrvr::kPath, this, QDBusConnection::ExportAdaptors))
        ORU_LOG(QStringLiteral("Could not offer %1 on the bus").arg(oruAgentSrvr::kPath));
}

void oruAgent::observeWake()
{
    QDBusConnection systemBus = QDBusConnection::systemBus();
    if (!systemBus.isConnected()
        || !systemBus.connect(QStringLiteral("org.freedesktop.login1"),
            QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
            this, SLOT(prepareForSleep(bool))))
        ORU_LOG(QStringLiteral("No system bus: waking from sleep will not start a visit"));
}

void oruAgent::prepareForSleep(bool sleeping)
{
    if (!sleeping)
        didWakeFromSleep();
}

QString oruAgent::getOfflineStatusRequest(const QString &) const
{
    return m_offlineStatus ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}

bool oruAgent::sendRefreshNotification()
{
    return oruNotifications::post(
        oruNotifications::kRefresh, oruNotifications::kPublisherObject, {}, m_bus);
}

void oruAgent::loginNotification(const oruNotification &notification)
{
    ORU_LOG(QStringLiteral("loginNotification: %1").arg(describe(notification)));
    ORU_LOG(QStringLiteral("userInfo: %1").arg(describe(notification.userInfo)));
    if (m_quitting)
        return;
    QVariantMap userInfo;
    for (auto entry = notification.userInfo.cbegin(); entry != notification.userInfo.cend();
         ++entry)
        userInfo.insert(entry.key(), entry.value());
    oruAgentWorker *worker = m_worker.get();
    QMetaObject::invokeMethod(
        worker, [worker, userInfo] { worker->login(userInfo); }, Qt::QueuedConnection);
}

void oruAgent::visitNotification(const oruNotification &notification)
{
    ORU_LOG(QStringLiteral("visitNotification: %1").arg(describe(notification)));
    askVisitAfter(0);
}

void oruAgent::offlineNotification(const oruNotification &notification)
{
    ORU_LOG(QStringLiteral("offlineNotification: %1").arg(describe(notification)));
    ORU_LOG(QStringLiteral("userInfo: %1").arg(describe(notification.userInfo)));
    const QString request = notification.userInfo.value(oruNotifications::kRequestKey);
    if (request == QLatin1String("online"))
        setOfflineStatus(true);
    else if (request == QLatin1String("offline"))
        setOfflineStatus(false);
}

void oruAgent::terminateNotification(const oruNotification &notification)
{
    ORU_LOG(QStringLiteral("terminateNotification: %1").arg(describe(notification)));
    quit();
}

void oruAgent::didWakeFromSleep()
{
    ORU_LOG(QStringLiteral("MARK"));
    askVisitAfter(kWakeAndMenuDelayMs);
}

void oruAgent::openPublisher()
{
    const QStringList pathArray = QCoreApplication::applicationFilePath().split(u'/');
    ORU_LOG(QStringLiteral("pathArray: %1").arg(pathArray.join(QStringLiteral(", "))));
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(kPublisherProgram);
    ORU_LOG(QStringLiteral("path: %1").arg(path));
    if (!QProcess::startDetached(path, {}))
        ORU_LOG(QStringLiteral("Could not start %1").arg(path));
}

void oruAgent::visit()
{
    askVisitAfter(kWakeAndMenuDelayMs);
}

void oruAgent::quit()
{
    if (m_quitting)
        return;
    m_quitting = true;
    emit quitting();
    if (!m_visitThread.isRunning()) {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return;
    }
    m_worker->requestStop();
    QMetaObject::invokeMethod(m_worker.get(), &oruAgentWorker::tearDown, Qt::QueuedConnection);
}

void oruAgent::askVisitAfter(int milliseconds)
{
    if (m_quitting)
        return;
    oruAgentWorker *worker = m_worker.get();
    QMetaObject::invokeMethod(
        worker, [worker, milliseconds] { worker->visitAfter(milliseconds); }, Qt::QueuedConnection);
}

} // namespace pondrel
