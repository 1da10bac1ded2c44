// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ScopedEnvironment.h"

namespace pondrel {

ScopedEnvironment::ScopedEnvironment(const char *name, const QByteArray &value)
    : m_name(name)
    , m_saved(qgetenv(name))
    , m_wasSet(qEnvironmentVariableIsSet(name))
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_wasSet)
        qputenv(m_name.constData(), m_saved);
    else
        qunsetenv(m_name.constData());
}

ServiceEnvironment::ServiceEnvironment(const QString &serviceUrl)
{
    m_variables.push_back(
        std::make_unique<ScopedEnvironment>("PONDREL_SERVICE_URL", serviceUrl.toUtf8()));
    for (const char *name : {"PONDREL_SERVICE_NAMESPACE", "PONDREL_SERVICE_KEY",
             "PONDREL_SERVICE_KEY_ELEMENT", "http_proxy", "HTTP_PROXY", "https_proxy",
             "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
        m_variables.push_back(std::make_unique<ScopedEnvironment>(name, QByteArray()));
}

} // namespace pondrel
