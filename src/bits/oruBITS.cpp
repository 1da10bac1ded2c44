// SPDX-License-Identifier: GPL-2.0-or-later
#include "bits/oruBITS.h"

#include "support/CHandle.h"
#include "support/oruLog.h"
#include "support/Preferences.h"

#include <QFileInfo>

#include <curl/curl.h>

#include <cstdio>

#include <sys/stat.h>

namespace pondrel {

namespace {

using HeaderList = CHandle<curl_slist, curl_slist_free_all>;
using FileHandle = CHandle<std::FILE, std::fclose>;

constexpr long kHttpOk = 200;
constexpr long kHttpCreated = 201;
constexpr qsizetype kReplyBufferSize = 4096;

// Header callback: appends what libcurl hands over to the accumulator given as user data, up to
// its limit; past it the transfer stops, so a hostile server cannot fill the memory.
size_t bits_read_headers(char *data, size_t size, size_t count, void *accumulator)
{
    auto *headers = static_cast<oruBITS::HeaderAccumulator *>(accumulator);
    const size_t bytes = size * count;
    if (bytes > size_t(oruBITS::kMaxReplyHeaderBytes - headers->bytes.size())) {
        headers->tooLarge = true;
        return 0;
    }
    headers->bytes.append(data, qsizetype(bytes));
    return bytes;
}

// Body callback: a BITS server says all in its headers, so bodies are read and dropped.
size_t bits_discard_body(char *, size_t size, size_t count, void *)
{
    return size * count;
}

size_t readFromFile(char *buffer, size_t size, size_t count, void *file)
{
    return std::fread(buffer, 1, size * count, static_cast<std::FILE *>(file));
}

// A value that came from outside (a file name, a session identifier) must not end its header
// line early and smuggle in another one.
QByteArray headerLine(const char *name, const QString &value)
{
    QByteArray text = value.toUtf8();
    text.replace('\r', ' ').replace('\n', ' ');
    return QByteArray(name) + ": " + text;
}

QString describeHeaders(const QVariantMap &headers)
{
    QStringList lines;
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        lines.append(QStringLiteral("    \"%1\" = \"%2\";").arg(it.key(), it.value().toString()));
    return QStringLiteral("{\n%1\n}").arg(lines.join(QLatin1Char('\n')));
}

QString valueOfHeader(const QVariantMap &headers, const QString &name)
{
    const auto exact = headers.constFind(name);
    if (exact != headers.cend())
        return exact.value().toString();
    for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value().toString();
    }
    return {};
}

const char *packetName(int packet)
{
    static const char *const names[]
        = {"Create-Session", "Fragment", "Close-Session", "Cancel-Session"};
    return names[packet];
}

} // namespace

oruBITS::oruBITS(QString url, QString filename)
    : oruBITS(std::move(url), std::move(filename), ProxySettings())
{ }

oruBITS::oruBITS(QString url, QString filename, ProxySettings proxy)
    : m_proxy(std::move(proxy))
    , m_curl(curl_easy_init())
    , m_filename(std::move(filename))
    , m_url(std::move(url))
{ }

oruBITS::~oruBITS() = default;

QVariantMap oruBITS::parseHeaders(const QString &headerText)
{
    QString text = headerText;
    text.remove(QLatin1Char('\r'));
    QVariantMap headers;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QStringList parts = line.split(QStringLiteral(": "));
        if (parts.size() == 2)
            headers.insert(parts.at(0), parts.at(1));
    }
    return headers;
}

QString oruBITS::contentRange(qint64 size)
{
    return QStringLiteral("bytes %1-%2/%3").arg(0).arg(size - 1).arg(size);
}

void oruBITS::resetCurl()
{
    CURL *curl = m_curl.get();
    curl_easy_reset(curl);
    const bool allowInvalid
        = Preferences::shared().value(kAllowInvalidCertificatesKey, false).toBool();
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, allowInvalid ? 0L : 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, allowInvalid ? 0L : 2L);
    curl_easy_setopt(curl, CURLOPT_DNS_CACHE_TIMEOUT, -1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, bits_discard_body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, bits_read_headers);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &m_httpHeaders);
    if (m_proxy.hasHTTPProxy) {
        curl_easy_setopt(curl, CURLOPT_PROXY, m_proxy.proxyHTTPHost.toUtf8().constData());
        curl_easy_setopt(curl, CURLOPT_PROXYPORT, m_proxy.proxyHTTPPort.toLong());
    } else {
        curl_easy_setopt(curl, CURLOPT_PROXY, "");
    }
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent.toUtf8().constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, m_curlErrorBuffer);
    m_curlErrorBuffer[0] = '\0';
    m_headerDict.clear();
    m_errorMsg.clear();
}

QByteArray oruBITS::contentName() const
{
    return headerLine("Content-Name", QFileInfo(m_filename).fileName());
}

QList<QByteArray> oruBITS::headerLinesFor(Packet packet, qint64 fileSize) const
{
    const QByteArray sessionLine = headerLine("BITS-Session-Id", m_session);
    switch (packet) {
    case Packet::Create:
        return {"BITS-Packet-Type: Create-Session",
            "BITS-Supported-Protocols: " + kUploadProtocol.toUtf8(), "Accept: */*", contentName(),
            "Content-Length: 0", "Connection: Keep-Alive"};
    case Packet::Fragment:
        return {"BITS-Packet-Type: Fragment", "Accept: */*", sessionLine, contentName(),
            "Content-Range: " + contentRange(fileSize).toUtf8(), "Connection: Keep-Alive",
            "Expect: ", "Accept-Encoding: "};
    case Packet::Close:
        return {"BITS-Packet-Type: Close-Session", sessionLine, "Accept: */*", contentName(),
            "Content-Length: 0", "Connection: Keep-Alive"};
    case Packet::Cancel:
        return {"BITS-Packet-Type: Cancel-Session", sessionLine, "Accept: */*", contentName(),
            "Content-Length: 0", "Connection: Keep-Alive"};
    }
    return {};
}

int oruBITS::perform(Packet packet, const QList<QByteArray> &headerLines)
{
    CURL *curl = m_curl.get();
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "BITS_POST");
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(m_timeLimit.count()));
    curl_easy_setopt(curl, CURLOPT_URL, m_url.toUtf8().constData());
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");

    HeaderList headers;
    for (const QByteArray &line : headerLines)
        headers.reset(curl_slist_append(headers.release(), line.constData()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());

    m_httpHeaders = {};
    m_httpHeaders.bytes.reserve(kReplyBufferSize);

    m_curlResult = int(curl_easy_perform(curl));
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    m_httpCode = int(status);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);

    readReplyHeaders(packet);
    describeOutcome(packet);
    m_httpHeaders = {};
    return m_httpCode;
}

void oruBITS::readReplyHeaders(Packet packet)
{
    if (m_curlResult != CURLE_OK || m_httpHeaders.bytes.isEmpty())
        return;
    m_headerDict = parseHeaders(QString::fromLatin1(m_httpHeaders.bytes));
    ORU_LOG(QStringLiteral("header: %1").arg(describeHeaders(m_headerDict)));
    if (packet == Packet::Create) {
        const QString session = valueOfHeader(m_headerDict, QStringLiteral("BITS-Session-Id"));
        if (!session.isEmpty())
            m_session = session;
    }
}

void oruBITS::describeOutcome(Packet packet)
{
    const char *name = packetName(int(packet));
    if (m_httpHeaders.tooLarge) {
        m_errorMsg = QStringLiteral("BITS %1 request to %2 got reply headers larger than %3 bytes")
                         .arg(QLatin1String(name), m_url)
                         .arg(kMaxReplyHeaderBytes);
        return;
    }
    if (m_curlResult != CURLE_OK) {
        const QString detail = m_curlErrorBuffer[0]
            ? QString::fromLocal8Bit(m_curlErrorBuffer)
            : QString::fromLatin1(curl_easy_strerror(CURLcode(m_curlResult)));
        m_errorMsg = QStringLiteral("BITS %1 request to %2 got no answer: %3 (libcurl code %4)")
                         .arg(QLatin1String(name), m_url, detail)
                         .arg(m_curlResult);
        return;
    }
    const bool accepted = m_httpCode == kHttpOk
        || (m_httpCode == kHttpCreated && (packet == Packet::Create || packet == Packet::Close));
    if (accepted)
        return;
    m_errorMsg = QStringLiteral("BITS %1 request to %2 was refused with HTTP status %3")
                     .arg(QLatin1String(name), m_url)
                     .arg(m_httpCode);
    const QString bitsError = valueOfHeader(m_headerDict, QStringLiteral("BITS-Error-Code"));
    if (!bitsError.isEmpty())
        m_errorMsg += QStringLiteral(" (BITS-Error-Code %1)").arg(bitsError);
}

void oruBITS::logUnlessOk(const char *step) const
{
    if (m_httpCode != kHttpOk)
        ORU_LOG(QStringLiteral("%1 result : %2, %3 (%4)")
                    .arg(QLatin1String(step))
                    .arg(m_httpCode)
                    .arg(m_curlResult)
                    .arg(QLatin1String(curl_easy_strerror(CURLcode(m_curlResult)))));
}

int oruBITS::startSession()
{
    resetCurl();
    perform(Packet::Create, headerLinesFor(Packet::Create));
    logUnlessOk("StartSession");
    if (m_errorMsg.isEmpty() && m_session.isEmpty())
        m_errorMsg = QStringLiteral("The BITS server at %1 opened no session: its reply to "
                                    "Create-Session carried no BITS-Session-Id")
                         .arg(m_url);
    return m_httpCode;
}

int oruBITS::refuseFragment(const QString &reason)
{
    resetCurl();
    m_httpCode = 0;
    m_curlResult = CURLE_READ_ERROR;
    m_errorMsg = reason;
    ORU_LOG(reason);
    return m_httpCode;
}

int oruBITS::beginFragment()
{
    const FileHandle file(std::fopen(QFile::encodeName(m_filename).constData(), "rb"));
    struct stat status
    {
    };
    if (!file || ::fstat(fileno(file.get()), &status) != 0 || !S_ISREG(status.st_mode))
        return refuseFragment(QStringLiteral("Cannot read %1; no fragment sent").arg(m_filename));
    const qint64 size = qint64(status.st_size);
    // An empty file has no byte range to send ("bytes 0--1/0").
    if (size == 0)
        return refuseFragment(QStringLiteral("%1 is empty; no fragment sent").arg(m_filename));

    resetCurl();
    CURL *curl = m_curl.get();
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(size));
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readFromFile);
    curl_easy_setopt(curl, CURLOPT_READDATA, file.get());
    perform(Packet::Fragment, headerLinesFor(Packet::Fragment, size));
    logUnlessOk("beginFragment");
    return m_httpCode;
}

int oruBITS::endSession()
{
    resetCurl();
    perform(Packet::Close, headerLinesFor(Packet::Close));
    logUnlessOk("endSession");
    return m_httpCode;
}

int oruBITS::cancelSession()
{
    ORU_LOG(QStringLiteral("MARK"));
    resetCurl();
    perform(Packet::Cancel, headerLinesFor(Packet::Cancel));
    return m_httpCode;
}

bool oruBITS::upload()
{
    const int created = startSession();
    if (created != kHttpOk && created != kHttpCreated)
        return false;
    if (m_session.isEmpty())
        return false;
    if (beginFragment() != kHttpOk) {
        const QString fragmentError = m_errorMsg;
        cancelSession();
        m_errorMsg = fragmentError;
        return false;
    }
    const int closed = endSession();
    return closed == kHttpOk || closed == kHttpCreated;
}

} // namespace pondrel
