// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/app/oruDesktopApplication.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDir>
#include <QUrl>

namespace pondrel {

namespace {

class ApplicationAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationAdaptor(oruDesktopApplication *application)
        : QDBusAbstractAdaptor(application)
        , m_application(application)
    { }

public slots:
    void Activate(const QVariantMap &platformData)
    {
        Q_UNUSED(platformData);
        emit m_application->activateRequested();
    }

    void Open(const QStringList &uris, const QVariantMap &platformData)
    {
        Q_UNUSED(platformData);
        emit m_application->openRequested(uris);
    }

    void ActivateAction(
        const QString &actionName, const QVariantList &parameter, const QVariantMap &platformData)
    {
        Q_UNUSED(parameter);
        Q_UNUSED(platformData);
        emit m_application->actionRequested(actionName);
    }

private:
    oruDesktopApplication *m_application;
};

} // namespace

oruDesktopApplication::oruDesktopApplication(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    new ApplicationAdaptor(this);
}

oruDesktopApplication::Claim oruDesktopApplication::claim(QString &errorMsg)
{
    if (!m_bus.isConnected()) {
        errorMsg = tr("No session bus: %1").arg(m_bus.lastError().message());
        return Claim::NoBus;
    }
    if (!m_bus.registerObject(kObjectPath, this)) {
        errorMsg = tr("Cannot offer %1 on the session bus").arg(kObjectPath);
        return Claim::NoBus;
    }
    const auto reply = m_bus.interface()->registerService(kBusName,
        QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        m_bus.unregisterObject(kObjectPath);
        errorMsg = tr("Another Pondrel Publisher runs in this session");
        return Claim::TakenByAnother;
    }
    return Claim::Owned;
}

bool oruDesktopApplication::handOver(
    const QStringList &files, QString &errorMsg, QDBusConnection bus)
{
    QDBusMessage call = files.isEmpty()
        ? QDBusMessage::createMethodCall(
            kBusName, kObjectPath, kInterface, QStringLiteral("Activate"))
        : QDBusMessage::createMethodCall(kBusName, kObjectPath, kInterface, QStringLiteral("Open"));
    if (files.isEmpty())
        call << QVariantMap();
    else
        call << urisForArguments(files) << QVariantMap();
    const QDBusMessage reply = bus.call(call);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        errorMsg = reply.errorMessage();
        return false;
    }
    return true;
}

QStringList oruDesktopApplication::urisForArguments(const QStringList &arguments)
{
    QStringList uris;
    for (const QString &argument : arguments) {
        const QUrl url(argument);
        const bool isUri = url.isValid() && url.scheme().size() > 1;
        uris.append(isUri ? argument
                          : QUrl::fromLocalFile(QDir::current().absoluteFilePath(argument))
                                .toString(QUrl::FullyEncoded));
    }
    return uris;
}

} // namespace pondrel
#include "oruDesktopApplication.moc"
