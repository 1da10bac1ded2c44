// SPDX-License-Identifier: GPL-2.0-or-later
#include "soap/oruSoap.h"

#include "soap/ProxyDiscovery.h"
#include "soap/ReplyBuffer.h"
#include "soap/SoapReply.h"
#include "soap/StringXml.h"

#include "support/CHandle.h"
#include "support/Preferences.h"
#include "support/oruLog.h"

#include <curl/curl.h>

namespace pondrel {

namespace {

using HeaderList = CHandle<curl_slist, curl_slist_free_all>;

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QString curlMessage(int code)
{
    return QString::fromUtf8(curl_easy_strerror(CURLcode(code)));
}

QString statusText(int httpCode, int curlResult, const QString &message)
{
    return QStringLiteral("%1, %2 (%3)").arg(httpCode).arg(curlResult).arg(message);
}

QString envelope(const QString &methodName, const QString &methodNamespace,
    const QVariantList &paramValues, const QStringList &paramNames)
{
    QString text = QStringLiteral("<soap:Envelope\n"
                                  "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"\n"
                                  "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
                                  "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"\n"
                                  "xmlns:soapenc=\"http://schemas.xmlsoap.org/soap/encoding/\">\n"
                                  "<soap:Body>\n");
    text += QStringLiteral("\t<%1 xmlns=\"%2\">\n").arg(methodName, methodNamespace);
    const qsizetype count = std::min(paramValues.size(), paramNames.size());
    for (qsizetype index = 0; index < count && paramValues.at(index).isValid(); ++index) {
        const QString &name = paramNames.at(index);
        text += QStringLiteral("\t\t<%1>").arg(name);
        text += oruSoap::encodeXML(paramValues.at(index));
        text += QStringLiteral("</%1>\n").arg(name);
    }
    text += QStringLiteral("  </%1>\n").arg(methodName);
    text += QStringLiteral("</soap:Body>\n</soap:Envelope>\n");
    return text;
}

QString maskedCredentials(const QString &userPassword)
{
    const qsizetype colon = userPassword.indexOf(QLatin1Char(':'));
    return userPassword.left(colon) + QStringLiteral(":********");
}

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

} // namespace

void releaseCurlEasy(void *handle)
{
    curl_easy_cleanup(handle);
}

oruSoap::oruSoap()
    : m_httpReply(std::make_unique<MemoryStruct>())
{
    initialiseCurlOnce();
    readProxySettings();
    m_curl.reset(curl_easy_init());
    if (!m_curl) {
        ORU_FATAL(QStringLiteral("curl_easy_init failed"));
        return;
    }
    setFixedOptions();
}

oruSoap::~oruSoap() = default;

void oruSoap::readProxySettings()
{
    m_proxyHTTPuserPassword.clear();
    m_proxyHTTPSuserPassword.clear();
    m_hasHTTPProxy = getHTTPProxySetting(m_proxyHTTPHost, m_proxyHTTPPort);
    if (m_hasHTTPProxy) {
        QString user;
        QString password;
        if (getProxyUserForProtocol(ProxyDiscovery::kHTTPProxyProtocol, user, password)
            && !user.isEmpty() && !password.isEmpty()) {
            m_proxyHTTPuserPassword = QStringLiteral("%1:%2").arg(user, password);
            ORU_LOG(QStringLiteral("proxyHTTPuserPassword: %1")
                        .arg(maskedCredentials(m_proxyHTTPuserPassword)));
        }
    }
    m_hasHTTPSProxy = getHTTPSProxySetting(m_proxyHTTPSHost, m_proxyHTTPSPort);
    if (m_hasHTTPSProxy) {
        QString user;
        QString password;
        if (getProxyUserForProtocol(ProxyDiscovery::kHTTPSProxyProtocol, user, password)
            && !user.isEmpty() && !password.isEmpty())
            m_proxyHTTPSuserPassword = QStringLiteral("%1:%2").arg(user, password);
    }
}

void oruSoap::setFixedOptions()
{
    CURL *curl = m_curl.get();
    // Certificates are checked unless the deployment runs on self-signed ones and says so.
    const bool verify = !Preferences::shared().value(kAllowInvalidCertificatesKey, false).toBool();
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, verify ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, verify ? 2L : 0L);
    curl_easy_setopt(curl, CURLOPT_DNS_CACHE_TIMEOUT, -1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, read_reply);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, m_httpReply.get());
    // The desktop's settings, read through libproxy, are the only proxy source; an empty proxy
    // keeps libcurl from applying the environment a second time on its own.
    if (m_hasHTTPProxy) {
        curl_easy_setopt(curl, CURLOPT_PROXY, m_proxyHTTPHost.toUtf8().constData());
        curl_easy_setopt(curl, CURLOPT_PROXYPORT, long(m_proxyHTTPPort.toInt()));
    } else {
        curl_easy_setopt(curl, CURLOPT_PROXY, "");
    }
}

void oruSoap::setTransferTimeLimitForTesting(std::chrono::milliseconds limit)
{
    const std::lock_guard<std::mutex> lock(m_callLock);
    m_transferTimeLimit = limit;
}

QVariantMap oruSoap::transferFailure(const QString &message) const
{
    return QVariantMap {{SoapReply::kErrorKey, statusText(m_httpCode, m_curlResult, message)}};
}

QVariantMap oruSoap::soapCall(const QString &url, const QString &methodName,
    const QString &soapAction, const QString &methodNamespace, const QVariantList &paramValues,
    const QStringList &paramNames)
{
    const std::lock_guard<std::mutex> lock(m_callLock);
    m_httpCode = 0;
    m_curlResult = CURLE_FAILED_INIT;
    if (!m_curl)
        return transferFailure(curlMessage(m_curlResult));
    CURL *curl = m_curl.get();

    if (!m_httpReply->reset(kInitialReplyCapacity)) {
        m_curlResult = CURLE_OUT_OF_MEMORY;
        return transferFailure(curlMessage(m_curlResult));
    }
    m_httpReply->limit = kMaxReplyBytes;

    const QByteArray body = envelope(methodName, methodNamespace, paramValues, paramNames).toUtf8();
    const QByteArray soapActionLine = QStringLiteral("SOAPAction: %1").arg(soapAction).toUtf8();
    HeaderList headers(curl_slist_append(nullptr, soapActionLine.constData()));
    headers.reset(curl_slist_append(headers.release(), "Content-Type: text/xml; charset=utf-8"));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());

    const QByteArray urlBytes = url.toUtf8();
    const QByteArray userAgent
        = Preferences::application().value(kUserAgentKey).toString().toUtf8();
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    curl_easy_setopt(curl, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(m_transferTimeLimit.count()));
    curl_easy_setopt(
        curl, CURLOPT_USERAGENT, userAgent.isEmpty() ? nullptr : userAgent.constData());
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");

    m_curlResult = curl_easy_perform(curl);
    long responseCode = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &responseCode);
    m_httpCode = int(responseCode);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);

    if (m_httpCode != 200)
        ORU_LOG(QStringLiteral("result : %1")
                    .arg(statusText(m_httpCode, m_curlResult, curlMessage(m_curlResult))));
    QVariantMap result = replyOfTransfer(methodName);
    m_httpReply->release();
    return result;
}

QVariantMap oruSoap::replyOfTransfer(const QString &methodName)
{
    if (m_httpReply->exhausted)
        return transferFailure(QStringLiteral("The reply is too large to be held in memory"));
    if (m_httpReply->overLimit)
        return transferFailure(
            QStringLiteral("The reply is larger than %1 MiB").arg(kMaxReplyBytes >> 20));
    if (m_curlResult != CURLE_OK || m_httpReply->size == 0)
        return transferFailure(curlMessage(m_curlResult));
    const SoapReply::Conversion conversion = SoapReply::convertInPlace(
        m_httpReply->memory.get(), qsizetype(m_httpReply->size), methodName);
    if (conversion.problem) {
        const QVariantMap failure = transferFailure(*conversion.problem);
        ORU_LOG(QStringLiteral("Error: %1").arg(failure.value(SoapReply::kErrorKey).toString()));
        return failure;
    }
    QVariantMap result = conversion.entries;
    if (conversion.faultString) {
        result.insert(SoapReply::kErrorKey, *conversion.faultString);
        ORU_LOG(QStringLiteral("Error: %1").arg(*conversion.faultString));
    }
    return result;
}

QString oruSoap::encodeXML(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return StringXml::xmlEncode(value.toString());
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (isNumber(value))
        return value.toString();
    if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList) {
        QString text;
        for (const QVariant &element : value.toList())
            text += encodeXML(element);
        return text;
    }
    if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap dictionary = value.toMap();
        QString text;
        for (auto entry = dictionary.cbegin(); entry != dictionary.cend(); ++entry)
            text += QStringLiteral("<%1>%2</%1>").arg(entry.key(), encodeXML(entry.value()));
        return text;
    }
    ORU_LOG(
        QStringLiteral("Unrecognized format for %1").arg(QString::fromLatin1(value.typeName())));
    // Escaped all the same: raw text of an unexpected kind must not be able to break the envelope.
    return StringXml::xmlEncode(value.toString());
}

QMap<QString, QString> oruSoap::parseHeaders(const QString &headers)
{
    QMap<QString, QString> dictionary;
    QString text = headers;
    text.remove(QLatin1Char('\r'));
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const qsizetype separator = line.indexOf(QStringLiteral(": "));
        if (separator <= 0) {
            ORU_LOG(QStringLiteral("Invalid line %1 in headers").arg(line));
            continue;
        }
        // A value may itself hold ": " (a date, a URL); it stays whole.
        dictionary.insert(line.left(separator), line.mid(separator + 2));
    }
    return dictionary;
}

bool oruSoap::getHTTPProxySetting(QString &host, QString &port)
{
    return ProxyDiscovery::getHTTPProxySetting(host, port);
}

bool oruSoap::getHTTPSProxySetting(QString &host, QString &port)
{
    return ProxyDiscovery::getHTTPSProxySetting(host, port);
}

bool oruSoap::getProxyUserForProtocol(const QString &protocol, QString &user, QString &password)
{
    return ProxyDiscovery::getProxyUserForProtocol(protocol, user, password);
}

} // namespace pondrel
