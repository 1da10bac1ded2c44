// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/HttpMessage.h"
#include "refservice/OperationContext.h"

namespace pondrel::refservice {

class FaultInjector;
class RequestLog;

// One SOAP web service: parses the envelope, runs the named operation in one transaction and
// answers with its reply, or with a SOAP fault (HTTP 500) for every kind of failure.
class SoapEndpoint
{
public:
    static constexpr qint64 kMaximumBody = 16 * 1024 * 1024;
    static inline const QString kTooLarge = QStringLiteral("The request is larger than 16 MiB.");

    SoapEndpoint(QString operationNamespace, OperationTable operations, Database &database,
        const ServiceConfig &config, RequestLog &log, FaultInjector &faults,
        pondrel::refservice::FailedAttempts &attempts);

    // Refuses a body declared over the limit before it is read.
    static HttpAdmission admit(const HttpRequest &request);
    HttpResponse handle(const HttpRequest &request) const;

    static HttpResponse soapResponse(int status, const QByteArray &xml, const HttpRequest &request);

private:
    QByteArray run(const SoapRequest &soap) const;

    QString m_namespace;
    OperationTable m_operations;
    Database &m_database;
    const ServiceConfig &m_config;
    RequestLog &m_log;
    FaultInjector &m_faults;
    pondrel::refservice::FailedAttempts &m_attempts;
};

} // namespace pondrel::refservice
