// SPDX-License-Identifier: GPL-2.0-or-later
#include "agent/oruAgentSrvr.h"

#include "agent/oruAgent.h"

namespace pondrel {

oruAgentSrvr::oruAgentSrvr(oruAgent &agent)
    : QDBusAbstractAdaptor(&agent)
    , m_agent(agent)
{ }

QString oruAgentSrvr::getOfflineStatusRequest(const QString &request)
{
    return m_agent.getOfflineStatusRequest(request);
}

} // namespace pondrel
