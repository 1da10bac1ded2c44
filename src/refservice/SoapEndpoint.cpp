// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/SoapEndpoint.h"

#include "refservice/FaultInjector.h"
#include "refservice/Gzip.h"
#include "refservice/RequestLog.h"
#include "refservice/ServiceFault.h"

#include <QFile>

namespace pondrel::refservice {

SoapEndpoint::SoapEndpoint(QString operationNamespace, OperationTable operations,
    Database &database, const ServiceConfig &config, RequestLog &log, FaultInjector &faults,
    pondrel::refservice::FailedAttempts &attempts)
    : m_namespace(std::move(operationNamespace))
    , m_operations(std::move(operations))
    , m_database(database)
    , m_config(config)
    , m_log(log)
    , m_faults(faults)
    , m_attempts(attempts)
{ }

HttpResponse SoapEndpoint::soapResponse(
    int status, const QByteArray &xml, const HttpRequest &request)
{
    HttpResponse response
        = HttpResponse::text(status, QByteArrayLiteral("text/xml; charset=utf-8"), xml);
    response.setHeader("Cache-Control", "private, max-age=0");
    if (Gzip::isAccepted(request.header("Accept-Encoding"))) {
        const QByteArray compressed = Gzip::compress(xml);
        if (!compressed.isEmpty()) {
            response.body = compressed;
            response.setHeader("Content-Encoding", "gzip");
        }
    }
    response.setHeader("Vary", "Accept-Encoding");
    return response;
}

HttpAdmission SoapEndpoint::admit(const HttpRequest &request)
{
    if (request.declaredLength() > kMaximumBody)
        return HttpAdmission {soapResponse(500, SoapReply::fault(kTooLarge), request)};
    return HttpAdmission {std::nullopt, kMaximumBody};
}

HttpResponse SoapEndpoint::handle(const HttpRequest &request) const
{
    QString operation;
    auto faultResponse = [&](const QString &message) {
        m_log.write(
            QStringLiteral("%1 %2 %3 fault: %4")
                .arg(QString::fromLatin1(request.method), request.path, operation, message));
        return soapResponse(500, SoapReply::fault(message), request);
    };
    if (request.method != "POST")
        return faultResponse(QStringLiteral("Only POST requests are served here."));
    if (request.bodyTooLarge)
        return faultResponse(kTooLarge);
    QString errorMsg;
    const std::optional<SoapRequest> soap = SoapRequest::parse(request.body, errorMsg);
    if (!soap)
        return faultResponse(errorMsg);
    operation = soap->operation();
    bool answerLost = false;
    if (const std::optional<PlannedFault> fault = m_faults.take({operation})) {
        m_log.write(QStringLiteral("playing fault %1").arg(fault->toString()));
        if (const std::optional<HttpResponse> played = FaultInjector::play(*fault))
            return *played;
        answerLost = fault->kind == QLatin1String("lost");
    }
    if (!soap->operationNamespace().isEmpty() && soap->operationNamespace() != m_namespace)
        return faultResponse(
            QStringLiteral("The namespace %1 is not served here.").arg(soap->operationNamespace()));
    if (!m_operations.contains(soap->operation()))
        return faultResponse(QStringLiteral("Unknown operation %1.").arg(soap->operation()));
    try {
        const QByteArray reply = run(*soap);
        m_log.write(QStringLiteral("POST %1 %2 ok").arg(request.path, soap->operation()));
        HttpResponse response = soapResponse(200, reply, request);
        // Done, but the client never hears of it: the connection breaks halfway through the
        // answer. (Closed before its first byte, a client may take the connection for a stale
        // one and send the request again.)
        response.cutShort = answerLost;
        return response;
    } catch (const ServiceFault &fault) {
        return faultResponse(fault.message());
    } catch (const StorageError &error) {
        m_log.write(QStringLiteral("storage error: %1").arg(QString::fromUtf8(error.what())));
        return faultResponse(
            QStringLiteral("The service could not store the change, please try again."));
    } catch (const std::exception &error) {
        m_log.write(QStringLiteral("internal error: %1").arg(QString::fromUtf8(error.what())));
        return faultResponse(QStringLiteral("Internal error of the service."));
    }
}

QByteArray SoapEndpoint::run(const SoapRequest &soap) const
{
    SoapReply reply(soap.operation(), m_namespace);
    pondrel::refservice::PasswordWork passwords(m_config.passwordIterations, m_attempts);
    passwords.prepare(soap, m_database);
    const auto lock = m_database.lock();
    Transaction transaction(m_database);
    OperationContext context(soap, reply, m_database, m_config, passwords);
    m_operations.value(soap.operation())(context);
    transaction.commit();
    for (const QString &path : context.filesToRemove())
        QFile::remove(path);
    return reply.serialize();
}

} // namespace pondrel::refservice
