// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>

namespace pondrel {

// A session bus of its own for one test, so that tests running side by side never meet on
// the Agent's bus name. Its address goes into DBUS_SESSION_BUS_ADDRESS for the object's
// lifetime, so programs the test starts use it too. A second one can stand in for the system
// bus (DBUS_SYSTEM_BUS_ADDRESS).
class PrivateBus
{
public:
    explicit PrivateBus(QByteArray addressVariable = "DBUS_SESSION_BUS_ADDRESS");
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    bool isValid() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }
    // This test's own connection to the bus.
    QDBusConnection connection() const;

private:
    QProcess m_daemon;
    QString m_address;
    QString m_connectionName;
    QByteArray m_addressVariable;
    QByteArray m_savedAddress;
};

} // namespace pondrel
