// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/Database.h"
#include "refservice/HttpMessage.h"
#include "refservice/ServiceConfig.h"

namespace pondrel::refservice {

class FaultInjector;
class RequestLog;

// The server side of the BITS upload protocol on the single-use addresses of RenderPicture
// commands (/Pondrel/Upload/<token>). Fragments collect in a part file of the uploads folder,
// one open session per address;
// only Close-Session of a complete JPEG moves it among the renditions, so nothing partial is
// ever served.
class BitsUploadEndpoint
{
public:
    static constexpr qint64 kMaximumUpload = 64 * 1024 * 1024;
    static inline const QString kPathPrefix = QStringLiteral("/Pondrel/Upload/");

    BitsUploadEndpoint(
        Database &database, const ServiceConfig &config, RequestLog &log, FaultInjector &faults);

    HttpAdmission admit(const HttpRequest &request) const;
    HttpResponse handle(const HttpRequest &request) const;

    // Forgets the sessions nobody will close, inside its own transaction under the caller's
    // lock; returns their part files, for removal once that has committed.
    static QStringList dropAbandoned(Database &database);

private:
    HttpResponse createSession(
        const QString &token, const HttpRequest &request, bool withoutId) const;
    HttpResponse fragment(const QString &token, const HttpRequest &request) const;
    HttpResponse closeSession(const QString &token, const HttpRequest &request) const;
    HttpResponse cancelSession(const QString &token, const HttpRequest &request) const;

    Database &m_database;
    const ServiceConfig &m_config;
    RequestLog &m_log;
    FaultInjector &m_faults;
};

} // namespace pondrel::refservice
