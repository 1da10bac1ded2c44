// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork_render.h"

#include "client/oruCommandStatus.h"
#include "client/oruNetwork.h"

#include "bits/oruBITS.h"
#include "client/oruUtils.h"
#include "soap/ProxyDiscovery.h"
#include "support/Paths.h"
#include "support/oruLog.h"

#include <QFile>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace pondrel {

namespace {

// A number of a command record: its leading integer, as the service's texts are read.
int integerValue(const QVariant &value)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (ok)
        return number;
    const double fractional = value.toDouble();
    return std::isfinite(fractional) ? int(std::clamp(fractional, -1e9, 1e9)) : 0;
}

bool isRenderPicture(const QVariantMap &command)
{
    return !command.contains(QStringLiteral("type"))
        || command.value(QStringLiteral("type")).toString() == QStringLiteral("RenderPicture");
}

bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0)) && name.size() <= 200;
}

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

RenderRequest renderRequestFromCommand(const QVariantMap &command)
{
    RenderRequest request;
    request.size = QSizeF(integerValue(command.value(QStringLiteral("width"))),
        integerValue(command.value(QStringLiteral("height"))));
    request.cropMode = integerValue(command.value(QStringLiteral("cropMode")));
    if (command.value(QStringLiteral("url")).toString().contains(QStringLiteral("print.jpg")))
        request.cropMode = 3;
    request.orientation = oruUtils::orientationFromRotateMode(
        command.value(QStringLiteral("RotateFlipType")).toString());
    request.quality = kRenditionJpegQuality;
    return request;
}

std::optional<Picture> decodePictureForCommands(
    const QString &path, const QVariantList &commands, QString &errorMsg)
{
    QList<RenderRequest> requests;
    for (const QVariant &command : commands) {
        const QVariantMap record = command.toMap();
        if (isRenderPicture(record))
            requests.append(renderRequestFromCommand(record));
    }
    return decodePictureForRequests(path, requests, errorMsg);
}

QString renderedFilePath(const QString &commandId)
{
    const QString folder = Paths::temporaryFolder();
    if (!isPlainFileName(commandId) || folder.isEmpty())
        return {};
    return QStringLiteral("%1/%2.jpg").arg(folder, commandId);
}

QVariantList RenderedPicture::returnParameters(const QString &returnNames) const
{
    QVariantList parameters;
    for (const QString &part : returnNames.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = part.trimmed();
        if (name.isEmpty())
            continue;
        QVariantMap parameter {{QStringLiteral("Name"), name}};
        if (name == QStringLiteral("fileSize"))
            parameter.insert(QStringLiteral("Value"), QString::number(fileSize));
        else if (name == QStringLiteral("width"))
            parameter.insert(QStringLiteral("Value"), QString::number(width));
        else if (name == QStringLiteral("height"))
            parameter.insert(QStringLiteral("Value"), QString::number(height));
        else
            ORU_FATAL(QStringLiteral("returnParameter is unknown: %1").arg(name));
        parameters.append(QVariantMap {{QStringLiteral("ReturnParameter"), parameter}});
    }
    return parameters;
}

std::optional<RenderedPicture> renderPictureCommand(
    const QVariantMap &command, const Picture &picture, QString &errorMsg)
{
    const QString id = command.value(QStringLiteral("id")).toString();
    const QString path = renderedFilePath(id);
    if (path.isEmpty()) {
        errorMsg = QStringLiteral("The command identifier \"%1\" cannot name a file in the private "
                                  "rendition folder")
                       .arg(id);
        return std::nullopt;
    }
    const std::optional<RenderedJpeg> jpeg
        = render(picture, renderRequestFromCommand(command), errorMsg);
    if (!jpeg)
        return std::nullopt;
    // A stale file of the same name must never be taken for this rendition; the new one
    // replaces it.
    const std::unique_ptr<QFile> file = Paths::createPrivateFile(path);
    if (!file || file->write(jpeg->bytes) != jpeg->bytes.size() || !file->flush()) {
        ORU_FATAL(QStringLiteral("saveAsJPEG failed"));
        errorMsg = QStringLiteral("Could not write %1").arg(path);
        return std::nullopt;
    }
    return RenderedPicture {path, jpeg->bytes.size(), jpeg->pixels.width(), jpeg->pixels.height()};
}

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
