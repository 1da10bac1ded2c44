// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

namespace pondrel {

// The desktop's proxy settings (environment, GNOME, KDE, PAC) through libproxy, asked for the
// service URL and for its https form. Both HTTP clients, the SOAP engine and the BITS upload
// client, read them once when they are created.
namespace ProxyDiscovery {

// Protocol codes of the credential lookup.
inline const QString kHTTPProxyProtocol = QStringLiteral("htpx");
inline const QString kHTTPSProxyProtocol = QStringLiteral("htsx");

// True when an HTTP proxy is in use for the service URL. The host is stored only when a proxy
// names one; the port is always stored: the proxy's, or "80".
bool getHTTPProxySetting(QString &host, QString &port);

// The same for the https form of the service URL; the default port is "443".
bool getHTTPSProxySetting(QString &host, QString &port);

// The user name and password written in the proxy URL of the given protocol code. True when the
// settings could be read, even if they name no proxy or no credentials: user and password are
// then left untouched. False for an unknown protocol code or when libproxy is unavailable.
bool getProxyUserForProtocol(const QString &protocol, QString &user, QString &password);

} // namespace ProxyDiscovery

} // namespace pondrel
