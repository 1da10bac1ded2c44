// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/BitsUploadEndpoint.h"
#include "refservice/Database.h"
#include "refservice/FailedAttempts.h"
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
    // The secret the administration paths want in X-Pondrel-Admin-Token; empty without --admin.
    QString adminToken() const { return m_adminToken; }
    // Drops what nobody will come back for: expired sign-on sessions, abandoned uploads, old
    // failed password attempts. Called now and then while the service runs.
    void tidy();

private:
    HttpResponse route(const HttpRequest &request);
    HttpResponse dispatch(const HttpRequest &request);
    HttpAdmission admit(const HttpRequest &request);
    std::optional<HttpResponse> refuseAdministration(const HttpRequest &request) const;
    QByteArray listeningAuthority() const;
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
    pondrel::refservice::FailedAttempts m_attempts;
    QString m_adminToken;
    std::unique_ptr<HttpServer> m_server;
};

} // namespace pondrel::refservice
