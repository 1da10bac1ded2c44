// SPDX-License-Identifier: GPL-2.0-or-later
#include "soap/ProxyDiscovery.h"

#include "support/CHandle.h"
#include "support/Preferences.h"

#include <QUrl>

#include <proxy.h>

#include <optional>

namespace pondrel {

namespace ProxyDiscovery {

namespace {

QUrl serviceUrl(const QString &scheme)
{
    QUrl url(ServiceSettings::baseUrl());
    url.setScheme(scheme);
    return url;
}

// The first proxy libproxy would use for the URL ("direct://" when none); nothing when libproxy
// cannot be asked at all.
std::optional<QUrl> firstProxyFor(const QUrl &url)
{
    const CHandle<pxProxyFactory, px_proxy_factory_free> factory(px_proxy_factory_new());
    if (!factory)
        return std::nullopt;
    const CHandle<char *, px_proxy_factory_free_proxies> proxies(px_proxy_factory_get_proxies(
        factory.get(), url.toString(QUrl::FullyEncoded).toUtf8().constData()));
    if (!proxies)
        return std::nullopt;
    if (!proxies.get()[0])
        return QUrl(QStringLiteral("direct://"));
    return QUrl(QString::fromUtf8(proxies.get()[0]));
}

// Only a proxy spoken to in HTTP counts: SOCKS proxies are not what the transfers configure.
bool isHTTPProxy(const QUrl &proxy)
{
    return proxy.scheme() == QLatin1String("http") && !proxy.host().isEmpty();
}

bool proxySetting(const QString &scheme, const QString &defaultPort, QString &host, QString &port)
{
    const std::optional<QUrl> proxy = firstProxyFor(serviceUrl(scheme));
    const bool enabled = proxy && isHTTPProxy(*proxy);
    if (enabled)
        host = proxy->host();
    port = enabled && proxy->port() > 0 ? QString::number(proxy->port()) : defaultPort;
    return enabled;
}

} // namespace

bool getHTTPProxySetting(QString &host, QString &port)
{
    return proxySetting(QStringLiteral("http"), QStringLiteral("80"), host, port);
}

bool getHTTPSProxySetting(QString &host, QString &port)
{
    return proxySetting(QStringLiteral("https"), QStringLiteral("443"), host, port);
}

bool getProxyUserForProtocol(const QString &protocol, QString &user, QString &password)
{
    QString scheme;
    if (protocol == kHTTPProxyProtocol)
        scheme = QStringLiteral("http");
    else if (protocol == kHTTPSProxyProtocol)
        scheme = QStringLiteral("https");
    else
        return false;
    const std::optional<QUrl> proxy = firstProxyFor(serviceUrl(scheme));
    if (!proxy)
        return false;
    if (!isHTTPProxy(*proxy))
        return true;
    const QString proxyUser = proxy->userName(QUrl::FullyDecoded);
    const QString proxyPassword = proxy->password(QUrl::FullyDecoded);
    if (!proxyUser.isEmpty())
        user = proxyUser;
    if (!proxyPassword.isEmpty())
        password = proxyPassword;
    return true;
}

} // namespace ProxyDiscovery

} // namespace pondrel
