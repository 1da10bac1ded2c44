// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace pondrel {

// The Publisher as a desktop application on the session bus: it owns the name
// "com.trevane.pondrel", so one Publisher runs per session, and offers
// org.freedesktop.Application at "/com/trevane/pondrel". Requests arrive as signals on the
// GUI thread. A second Publisher finds the name taken and hands its files over instead.
class oruDesktopApplication : public QObject
{
    Q_OBJECT

public:
    static inline const QString kBusName = QStringLiteral("com.trevane.pondrel");
    static inline const QString kObjectPath = QStringLiteral("/com/trevane/pondrel");
    static inline const QString kInterface = QStringLiteral("org.freedesktop.Application");

    explicit oruDesktopApplication(
        QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    enum class Claim { Owned, TakenByAnother, NoBus };
    // The reason goes to errorMsg unless the name is owned.
    Claim claim(QString &errorMsg);
    // Asks the running Publisher to open files (paths or URIs) or, with none, to come to the
    // front. False, with the reason, when it could not be reached.
    static bool handOver(const QStringList &files, QString &errorMsg,
        QDBusConnection bus = QDBusConnection::sessionBus());
    // file:// URIs from paths; URIs pass unchanged.
    static QStringList urisForArguments(const QStringList &arguments);

signals:
    void activateRequested();
    void openRequested(const QStringList &uris);
    void actionRequested(const QString &name);

private:
    QDBusConnection m_bus;
};

} // namespace pondrel
