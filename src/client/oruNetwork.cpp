// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork.h"
#include "client/oruPlatform.h"
#include "soap/SoapReply.h"

#include "support/Preferences.h"
#include "support/oruLog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QUuid>

namespace pondrel {

namespace {

const QString kFaultMarker = QStringLiteral("---> ");

QString unamePath()
{
    const QString found = QStandardPaths::findExecutable(QStringLiteral("uname"));
    return found.isEmpty() ? QStringLiteral("/usr/bin/uname") : found;
}

// One line of uname's output without its line feed; the tool's answer when it ran nothing.
QString unameLine(const QString &option)
{
    QString line = oruNetwork::backtick(unamePath(), {option}).value_or(QString());
    line.chop(1);
    return line;
}

} // namespace

const QStringList &oruNetwork::thumbnailOptionsType()
{
    static const QStringList names = {QStringLiteral("ThumbnailNone"),
        QStringLiteral("ThumbnailFirstImage"), QStringLiteral("ThumbnailFirstImages"),
        QStringLiteral("ThumbnailLastImage"), QStringLiteral("ThumbnailLastImages")};
    return names;
}

const QStringList &oruNetwork::ratingType()
{
    static const QStringList names
        = {QStringLiteral("Unrated"), QStringLiteral("Poor"), QStringLiteral("Fair"),
            QStringLiteral("Good"), QStringLiteral("Excellent"), QStringLiteral("Outstanding")};
    return names;
}

oruNetwork::oruNetwork(std::shared_ptr<oruAlert> alert)
    : m_serviceKey(ServiceSettings::serviceKey())
    , m_collectionServices(std::make_unique<CollectionServices>())
    , m_publishingServices(std::make_unique<PublishingServices>())
{
    setAlert(std::move(alert));
}

oruNetwork::~oruNetwork() = default;

void oruNetwork::setAlert(std::shared_ptr<oruAlert> alert)
{
    m_alert = alert ? std::move(alert) : std::make_shared<oruLogAlert>();
}

void oruNetwork::setVisitTimer(std::unique_ptr<QTimer> timer)
{
    if (m_visitTimer)
        m_visitTimer->stop();
    m_visitTimer = std::move(timer);
}

bool oruNetwork::succeeded(const QVariantMap &reply)
{
    const auto error = reply.constFind(SoapReply::kErrorKey);
    if (error == reply.constEnd())
        return true;
    m_errorMsg = error->toString();
    return false;
}

bool oruNetwork::succeededOrAlert(const QVariantMap &reply, const char *title)
{
    if (succeeded(reply))
        return true;
    displayError(QCoreApplication::translate("oruNetwork", title), m_errorMsg);
    return false;
}

bool oruNetwork::failWith(const QString &message)
{
    m_errorMsg = message;
    return false;
}

bool oruNetwork::failWithAlert(const QString &message, const char *title)
{
    failWith(message);
    displayError(QCoreApplication::translate("oruNetwork", title), m_errorMsg);
    return false;
}

QVariant oruNetwork::computerIdentifierArgument() const
{
    return m_computerIdentifier.isNull() ? QVariant() : QVariant(m_computerIdentifier);
}

QString oruNetwork::messageForAlert(const QString &message)
{
    const qsizetype marker = message.indexOf(kFaultMarker);
    return marker < 0 ? message : message.mid(marker + kFaultMarker.size());
}

void oruNetwork::displayError(const QString &title, const QString &message)
{
    m_alert->show(title, messageForAlert(message));
}

QString oruNetwork::stringWithUUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QString> oruNetwork::backtick(const QString &path, const QStringList &params)
{
    if (path.isEmpty())
        return std::nullopt;
    if (oruPlatform::isDebuggerAttached())
        return QStringLiteral("Running GDB ");
    QProcess tool;
    tool.setStandardInputFile(QProcess::nullDevice());
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(path, params, QIODevice::ReadOnly);
    if (!tool.waitForStarted()) {
        ORU_LOG(QStringLiteral("%1 did not start: %2").arg(path, tool.errorString()));
        return std::nullopt;
    }
    tool.waitForFinished(-1);
    const QByteArray output = tool.readAllStandardOutput();
    if (output.isEmpty())
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(output);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

void oruNetwork::makeUserAgent()
{
    const QString executable = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    m_userAgent = QStringLiteral(" %1 %2 (%3 %4 %5)")
                      .arg(executable, QCoreApplication::applicationVersion(),
                          unameLine(QStringLiteral("-s")), unameLine(QStringLiteral("-r")),
                          unameLine(QStringLiteral("-v")));
    if (!Preferences::application().setValue(oruSoap::kUserAgentKey, m_userAgent))
        ORU_FATAL(QStringLiteral("the user agent could not be stored"));
    ORU_LOG(QStringLiteral("userAgent:%1").arg(m_userAgent));
}

} // namespace pondrel
