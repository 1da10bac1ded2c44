// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "support/CHandle.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <curl/curl.h>

#include <chrono>
#include <memory>

namespace pondrel {

// One BITS upload of one file: create a session, send the whole file as one fragment, then
// close the session, or cancel it when the fragment was refused. Every request uses the method
// "BITS_POST" over HTTP/1.1 and presents itself as "Microsoft BITS/6.6". Requests are
// synchronous and never retried; an object is used by one thread at a time.
//
// After each request httpCode() holds the HTTP status (0 when no answer came), curlResult() the
// libcurl result (0 = success) and errorMsg() a sentence for the log or the user when the
// request failed or was refused.
class oruBITS
{
public:
    // The system's proxies as discovered by the caller. Only the HTTP proxy is applied to the
    // transfers; without one the transfers go direct (libcurl's own environment lookup is off,
    // the discovery has already considered the environment).
    struct ProxySettings
    {
        bool hasHTTPProxy = false;
        QString proxyHTTPHost;
        QString proxyHTTPPort;
        QString proxyHTTPuserPassword;
        bool hasHTTPSProxy = false;
        QString proxyHTTPSHost;
        QString proxyHTTPSPort;
        QString proxyHTTPSuserPassword;
    };

    static inline const QString kUserAgent = QStringLiteral("Microsoft BITS/6.6");
    // A BITS reply says all in a few header lines; more than this ends the transfer.
    static constexpr qsizetype kMaxReplyHeaderBytes = 64 * 1024;

    // The header lines of the reply in progress.
    struct HeaderAccumulator
    {
        QByteArray bytes;
        bool tooLarge = false;
    };
    static inline const QString kUploadProtocol
        = QStringLiteral("{7df0354d-249b-430f-820d-3d2a9bef4931}");
    // Preference of the shared domain that lets uploads go to servers whose certificate does
    // not verify (a test service with a self-signed certificate).
    static inline const QString kAllowInvalidCertificatesKey
        = QStringLiteral("AllowInvalidCertificates");
    static constexpr std::chrono::milliseconds kDefaultTimeLimit {std::chrono::seconds(120)};

    oruBITS(QString url, QString filename);
    oruBITS(QString url, QString filename, ProxySettings proxy);
    ~oruBITS();
    oruBITS(const oruBITS &) = delete;
    oruBITS &operator=(const oruBITS &) = delete;

    // The four requests, in their calling order; each returns the HTTP status.
    int startSession();
    int beginFragment();
    int endSession();
    int cancelSession();

    // The whole upload as the Agent drives it: create; on 200 or 201 with a session identifier
    // send the fragment; on 200 close the session, otherwise cancel it. True only when the
    // fragment was accepted and the close answered 200 or 201. errorMsg() tells why not.
    bool upload();

    // Header text to dictionary: carriage returns removed, one "Name: value" per line; the
    // status line, empty lines and lines whose value itself holds ": " are skipped; a later
    // duplicate replaces an earlier one.
    static QVariantMap parseHeaders(const QString &headerText);
    // "bytes 0-(size-1)/size", computed in 64 bits.
    static QString contentRange(qint64 size);

    int httpCode() const { return m_httpCode; }
    int curlResult() const { return m_curlResult; }
    void setCurlResult(int result) { m_curlResult = result; }
    QString errorMsg() const { return m_errorMsg; }
    bool hasHTTPProxy() const { return m_proxy.hasHTTPProxy; }
    bool hasHTTPSProxy() const { return m_proxy.hasHTTPSProxy; }
    QString proxyHTTPHost() const { return m_proxy.proxyHTTPHost; }
    QString proxyHTTPPort() const { return m_proxy.proxyHTTPPort; }
    QVariantMap headerDict() const { return m_headerDict; }
    void setHeaderDict(const QVariantMap &headers) { m_headerDict = headers; }
    QString session() const { return m_session; }
    void setSession(const QString &session) { m_session = session; }
    QString filename() const { return m_filename; }
    void setFilename(const QString &filename) { m_filename = filename; }
    QString url() const { return m_url; }
    void setUrl(const QString &url) { m_url = url; }

    // Shortens the per-request time limit, so that tests of a silent server end quickly.
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

private:
    enum class Packet { Create, Fragment, Close, Cancel };

    void resetCurl();
    // Logs the step's HTTP status and transfer result when the server did not answer 200.
    void logUnlessOk(const char *step) const;
    int perform(Packet packet, const QList<QByteArray> &headerLines);
    void readReplyHeaders(Packet packet);
    void describeOutcome(Packet packet);
    QList<QByteArray> headerLinesFor(Packet packet, qint64 fileSize = 0) const;
    QByteArray contentName() const;
    int refuseFragment(const QString &reason);

    int m_httpCode = 0;
    int m_curlResult = 0;
    ProxySettings m_proxy;
    CHandle<CURL, curl_easy_cleanup> m_curl;
    HeaderAccumulator m_httpHeaders;
    QString m_filename;
    QString m_session;
    QString m_url;
    QVariantMap m_headerDict;
    QString m_errorMsg;
    std::chrono::milliseconds m_timeLimit = kDefaultTimeLimit;
    char m_curlErrorBuffer[256] = {};
};

} // namespace pondrel
