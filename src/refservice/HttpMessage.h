// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

namespace pondrel::refservice {

// One whole HTTP request as the server hands it to the router.
struct HttpRequest
{
    QByteArray method;
    QString path;
    QMap<QString, QString> query;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    bool bodyTooLarge = false;
    bool fromLoopback = false;

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
};

// One whole reply. `drop` closes the connection without an answer.
struct HttpResponse
{
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool drop = false;

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

} // namespace pondrel::refservice
