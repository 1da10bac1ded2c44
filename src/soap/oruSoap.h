// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "support/CHandle.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>

namespace pondrel {

struct MemoryStruct;

// Gives a libcurl transfer handle back; declared here so that this header needs no libcurl.
void releaseCurlEasy(void *handle);

// The SOAP 1.1 call engine: builds the request envelope, posts it with libcurl and hands back the
// reply dictionary, in which the key "error" marks every kind of failure. Calls are synchronous.
// Calls on one engine are serialised: it has one transfer handle and one reply buffer.
class oruSoap
{
public:
    static constexpr std::size_t kInitialReplyCapacity = 128000;
    // Replies are held whole, after libcurl has inflated them: a small compressed reply must not
    // be able to take gigabytes. The listing of an album of 50,000 pictures is some 82 MB.
    static constexpr std::size_t kMaxReplyBytes = std::size_t(128) << 20;
    static constexpr std::chrono::milliseconds kTransferTimeLimit {30000};
    static inline const QString kUserAgentKey = QStringLiteral("UserAgent");
    static inline const QString kAllowInvalidCertificatesKey
        = QStringLiteral("AllowInvalidCertificates");

    // Reads the proxy settings and credentials once and prepares the transfer handle.
    oruSoap();
    virtual ~oruSoap();
    oruSoap(const oruSoap &) = delete;
    oruSoap &operator=(const oruSoap &) = delete;

    // Posts the operation to url. The parameters are the values paired with the names in order;
    // the list ends at the first invalid QVariant (a missing argument) or at the end of the
    // shorter list. Never fails to return a dictionary.
    QVariantMap soapCall(const QString &url, const QString &methodName, const QString &soapAction,
        const QString &methodNamespace, const QVariantList &paramValues,
        const QStringList &paramNames);

    // Element content of one parameter value: escaped text, decimal numbers, "1"/"0" for
    // booleans, arrays run together, dictionaries as nested elements in key order.
    static QString encodeXML(const QVariant &value);

    // Header lines to a dictionary name -> value; lines without ": " are skipped and logged.
    static QMap<QString, QString> parseHeaders(const QString &headers);

    int httpCode() const { return m_httpCode; }
    int curlResult() const { return m_curlResult; }
    bool hasHTTPProxy() const { return m_hasHTTPProxy; }
    bool hasHTTPSProxy() const { return m_hasHTTPSProxy; }
    QString proxyHTTPHost() const { return m_proxyHTTPHost; }
    QString proxyHTTPPort() const { return m_proxyHTTPPort; }

    static bool getHTTPProxySetting(QString &host, QString &port);
    static bool getHTTPSProxySetting(QString &host, QString &port);
    static bool getProxyUserForProtocol(const QString &protocol, QString &user, QString &password);

    // Tests shorten the whole-transfer limit to see a time-out without waiting 30 seconds.
    void setTransferTimeLimitForTesting(std::chrono::milliseconds limit);

private:
    void readProxySettings();
    void setFixedOptions();
    QVariantMap transferFailure(const QString &message) const;
    // The reply dictionary of the transfer that has just ended; parsing spends the reply buffer.
    QVariantMap replyOfTransfer(const QString &methodName);

    std::atomic<int> m_httpCode = 0;
    std::atomic<int> m_curlResult = 0;
    bool m_hasHTTPProxy = false;
    bool m_hasHTTPSProxy = false;
    QString m_proxyHTTPHost;
    QString m_proxyHTTPPort;
    QString m_proxyHTTPuserPassword;
    QString m_proxyHTTPSuserPassword;
    QString m_proxyHTTPSHost;
    QString m_proxyHTTPSPort;
    CHandle<void, releaseCurlEasy> m_curl;
    std::unique_ptr<MemoryStruct> m_httpReply;
    std::chrono::milliseconds m_transferTimeLimit = kTransferTimeLimit;
    std::mutex m_callLock;
};

} // namespace pondrel
