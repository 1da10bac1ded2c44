#pragma once

#include "RefServiceProcess.h"
#include "SoapTestClient.h"

#include <QMap>

// A signed-on account with one registered computer, and the steps of the agent's side of the
// road: visits, BITS uploads, status reports. Raw HTTP only.
class AgentSide
{
public:
    static inline const QString kComputer = "CCCCCCCC-1111-2222-3333-444444444444";
    static inline const QByteArray kProtocolOffer
        = "BITS-Supported-Protocols: {7df0354d-249b-430f-820d-3d2a9bef4931}";

    AgentSide(const RefServiceProcess &service, const QString &email);

    const SoapTestClient &soap() const { return m_soap; }
    QString session() const { return m_session; }
    QString email() const { return m_email; }

    // Visit with the given CommandBatchStatus elements (raw XML) as previous statuses, from this
    // side's computer unless another is named.
    SoapResult visit(const QByteArray &statusesXml = {}, const QString &computer = kComputer) const;

    struct Command
    {
        QMap<QString, QString> fields;
        QString batch;
        QString moniker;
        QString url() const { return fields.value("url"); }
        QString id() const { return fields.value("id"); }
    };
    // The commands of every batch of a visit reply, read in any of the three styles.
    static QList<Command> commandsOf(const SoapResult &visit);

    static HttpResult bits(const QString &url, const QByteArray &packet,
        const QList<QByteArray> &headers = {}, const QByteArray &body = {});
    // Create-Session, one Fragment per piece, Close-Session; returns the close (or first failing)
    // reply.
    static HttpResult upload(const QString &url, const QByteArray &bytes, int pieces = 1);

    // <CommandBatchStatus> for a batch with one status per command.
    static QByteArray batchStatus(const QString &batch, const QList<QByteArray> &commandStatuses);
    static QByteArray succeeded(const QString &command, int width, int height, qint64 size);
    static QByteArray failed(const QString &command, const QString &errorCode);

    // Uploads a JPEG of the command's width for every command of the visit reply and reports
    // them all as succeeded with the next visit, whose reply it returns.
    SoapResult completeAll(const SoapResult &visit) const;

    // Bytes that look like a JPEG to the service (it checks the markers only).
    static QByteArray fakeJpeg(int size, char fill);

private:
    SoapTestClient m_soap;
    QString m_email;
    QString m_session;
};
