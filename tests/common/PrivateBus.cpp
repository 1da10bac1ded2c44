// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/PrivateBus.h"

#include <QUuid>

namespace pondrel {

PrivateBus::PrivateBus(QByteArray addressVariable)
    : m_connectionName(QUuid::createUuid().toString())
    , m_addressVariable(std::move(addressVariable))
    , m_savedAddress(qgetenv(m_addressVariable.constData()))
{
    m_daemon.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1"});
    if (!m_daemon.waitForStarted(5000))
        return;
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) { }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (!m_address.isEmpty())
        qputenv(m_addressVariable.constData(), m_address.toUtf8());
}

PrivateBus::~PrivateBus()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
    if (m_savedAddress.isNull())
        qunsetenv(m_addressVariable.constData());
    else
        qputenv(m_addressVariable.constData(), m_savedAddress);
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000))
        m_daemon.kill();
    m_daemon.waitForFinished(1000);
}

QDBusConnection PrivateBus::connection() const
{
    return QDBusConnection::connectToBus(m_address, m_connectionName);
}

} // namespace pondrel
