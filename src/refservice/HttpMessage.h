// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

#include <optional>

namespace pondrel::refservice {

// One HTTP request as the server hands it to the router. Before the body is read the router
// sees the same structure without a body, to refuse or route the request first.
struct HttpRequest
{
    QByteArray method;
    QString path;
    QMap<QString, QString> query;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body; // held in memory unless the router asked for it on disk
    QString bodyFile; // the spooled body when the router asked for it on disk
    qint64 bodySize = 0;
    bool bodyTooLarge = false;
    bool fromLoopback = false;

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    // The declared Content-Length, or -1 when there is none (a chunked body, or no body).
    qint64 declaredLength() const
    {
        bool ok = false;
        const qint64 length = header("Content-Length").trimmed().toLongLong(&ok);
        return ok && length >= 0 ? length : -1;
    }
};

// One whole reply. `drop` closes the connection without an answer; `cutShort` sends the status,
// the headers and half the body, then closes it, as an answer lost on its way back.
struct HttpResponse
{
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool drop = false;
    bool cutShort = false;

    static HttpResponse text(int status, const QByteArray &contentType, const QByteArray &body)
    {
        HttpResponse response;
        response.status = status;
        response.headers.append({"Content-Type", contentType});
        response.body = body;
        return response;
    }
    void setHeader(const QByteArray &name, const QByteArray &value)
    {
        for (auto &header : headers) {
            if (header.first.compare(name, Qt::CaseInsensitive) == 0) {
                header.second = value;
                return;
            }
        }
        headers.append({name, value});
    }
};

// What the router decides once a request's headers are in, before any byte of its body is read.
struct HttpAdmission
{
    std::optional<HttpResponse> refusal; // answered at once; the body is never read
    qint64 bodyLimit = 0; // bytes beyond this are dropped and the request is marked too large
    bool spoolToDisk = false; // the body goes to a temporary file, not into memory
};
} // namespace pondrel::refservice
