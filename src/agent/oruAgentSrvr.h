// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDBusAbstractAdaptor>
#include <QString>

namespace pondrel {

class oruAgent;

// The Agent's remote object on the bus (path /oruAgentSrvr): lets another process ask whether
// the Agent was told to go offline.
class oruAgentSrvr : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.trevane.oruAgentSrvr")

public:
    static inline const QString kPath = QStringLiteral("/oruAgentSrvr");

    explicit oruAgentSrvr(oruAgent &agent);

public slots:
    // "TRUE" or "FALSE"; the argument is not used.
    QString getOfflineStatusRequest(const QString &request);

private:
    oruAgent &m_agent;
};

} // namespace pondrel
