// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruCommandStatus.h"
#include "client/oruNetwork.h"

#include "bits/oruBITS.h"
#include "imaging/Picture.h"
#include "imaging/PictureRendering.h"
#include "soap/ProxyDiscovery.h"
#include "support/oruLog.h"

#include <QFile>
#include <QUrl>

namespace pondrel {

namespace {

constexpr int kHttpOk = 200;
constexpr int kHttpCreated = 201;
constexpr int kHttpForbidden = 403;

oruBITS::ProxySettings uploadProxySettings()
{
    oruBITS::ProxySettings proxy;
    proxy.hasHTTPProxy
        = ProxyDiscovery::getHTTPProxySetting(proxy.proxyHTTPHost, proxy.proxyHTTPPort);
    proxy.hasHTTPSProxy
        = ProxyDiscovery::getHTTPSProxySetting(proxy.proxyHTTPSHost, proxy.proxyHTTPSPort);
    QString user;
    QString password;
    if (proxy.hasHTTPProxy
        && ProxyDiscovery::getProxyUserForProtocol(
            ProxyDiscovery::kHTTPProxyProtocol, user, password)
        && !user.isEmpty())
        proxy.proxyHTTPuserPassword = user + QLatin1Char(':') + password;
    user.clear();
    password.clear();
    if (proxy.hasHTTPSProxy
        && ProxyDiscovery::getProxyUserForProtocol(
            ProxyDiscovery::kHTTPSProxyProtocol, user, password)
        && !user.isEmpty())
        proxy.proxyHTTPSuserPassword = user + QLatin1Char(':') + password;
    return proxy;
}

// Create, send the whole file, close; a refused fragment cancels the session. The last HTTP
// status that counts, 0 when a request got no answer at all.
int upload(oruBITS &session)
{
    int code = session.startSession();
    if (code != kHttpOk && code != kHttpCreated)
        return code;
    code = session.beginFragment();
    if (code == kHttpOk)
        return session.endSession();
    session.cancelSession();
    return code;
}

// Only an address the upload can go to; anything else would fail without an HTTP answer and be
// taken for a lost connection.
bool isUploadAddress(const QString &url)
{
    const QUrl address(url, QUrl::StrictMode);
    return address.isValid() && !address.host().isEmpty()
        && (address.scheme() == QLatin1String("http")
            || address.scheme() == QLatin1String("https"));
}

struct RemovedAtEnd
{
    QString path;
    ~RemovedAtEnd() { QFile::remove(path); }
};

} // namespace

QVariantMap oruNetwork::renderPictureCommand(const QVariantMap &command, const Picture &image)
{
    const QString commandId = command.value(QStringLiteral("id")).toString();
    const QString url = command.value(QStringLiteral("url")).toString();
    QString errorMsg;
    // An empty rendition is a failure too: it is never sent.
    const std::optional<RenderedPicture> rendered
        = pondrel::renderPictureCommand(command, image, errorMsg);
    if (!rendered || rendered->fileSize <= 0)
        return oruCommandStatus::failed(commandId, kErrorRenderingFailed,
            errorMsg.isEmpty() ? QStringLiteral("The rendition is empty") : errorMsg);

    // The rendition is of a private picture: it stays on disk only for its upload.
    const RemovedAtEnd removal {rendered->path};
    if (!isUploadAddress(url))
        return oruCommandStatus::failed(commandId, kErrorUploadRefused,
            QStringLiteral("\"%1\" is not an upload address").arg(url));

    ORU_LOG(QStringLiteral("Starting upload"));
    oruLog::add2csv(QStringLiteral("start upload,%1").arg(commandId));
    oruBITS session(url, rendered->path, uploadProxySettings());
    const int code = upload(session);
    ORU_LOG(QStringLiteral("End of upload"));
    if (code == kHttpOk || code == kHttpCreated || code == kHttpForbidden) {
        oruLog::add2csv(QStringLiteral("uploaded,%1").arg(commandId));
        return oruCommandStatus::succeeded(commandId,
            rendered->returnParameters(command.value(QStringLiteral("return")).toString()));
    }
    oruLog::add2csv(
        QStringLiteral("not uploaded,%1,%2,%3")
            .arg(commandId, QString::number(code), QString::number(session.curlResult())));
    if (code == 0) {
        m_curlAbort = true;
        return oruCommandStatus::failed(commandId, kErrorUploadRefused,
            QStringLiteral("No answer from %1: %2").arg(url, session.errorMsg()));
    }
    return oruCommandStatus::failed(commandId, kErrorUploadRefused,
        QStringLiteral("The upload to %1 was refused with HTTP %2")
            .arg(url, QString::number(code)));
}

} // namespace pondrel
