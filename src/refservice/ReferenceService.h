// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/BitsUploadEndpoint.h"
#include "refservice/Database.h"
#include "refservice/FaultInjector.h"
#include "refservice/HttpServer.h"
#include "refservice/PublicPages.h"
#include "refservice/RequestLog.h"
#include "refservice/ServiceConfig.h"
#include "refservice/SoapEndpoint.h"

#include <memory>

namespace pondrel::refservice {

// The whole service: storage, the two SOAP endpoints, the administration paths for tests, and
// the HTTP server that routes to them.
class ReferenceService
{
public:
    explicit ReferenceService(ServiceConfig config);
    ~ReferenceService();

    bool start(QString &errorMsg);
    void stop();
    quint16 port() const { return m_server ? m_server->port() : 0; }
    const ServiceConfig &config() const { return m_config; }

private:
    HttpResponse route(const HttpRequest &request);
    void dropAbandonedUploads();
    qint64 bodyLimit(const QString &path) const;
    HttpResponse ageSessions(const HttpRequest &request) const;
    HttpResponse outbox(const HttpRequest &request) const;
    HttpResponse adminFaults(const HttpRequest &request);

    ServiceConfig m_config;
    RequestLog m_log;
    std::unique_ptr<Database> m_database;
    std::unique_ptr<SoapEndpoint> m_collection;
    std::unique_ptr<SoapEndpoint> m_publishing;
    std::unique_ptr<BitsUploadEndpoint> m_uploads;
    std::unique_ptr<PublicPages> m_pages;
    FaultInjector m_faults;
    std::unique_ptr<HttpServer> m_server;
};

} // namespace pondrel::refservice
