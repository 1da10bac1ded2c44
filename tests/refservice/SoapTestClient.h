// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "tests/common/RefServiceProcess.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

#include <pugixml.hpp>

#include <memory>

namespace pondrel {

// Raw HTTP for the reference service's tests: libcurl on the wire, pugixml to read replies.
// Deliberately independent of the client library, so the tests check the service alone.

struct HttpResult
{
    long status = 0;
    QByteArray body; // as received (not decompressed)
    QList<QPair<QByteArray, QByteArray>> headers;
    QString transportError;
    long newConnections = 0; // connections opened for this request

    QByteArray header(const QByteArray &name) const;
};

// Parameters in order; one whose name starts with '@' carries XML, written as it is.
using SoapParameters = QList<QPair<QString, QString>>;

struct SoapResult
{
    HttpResult http;
    std::shared_ptr<pugi::xml_document> document;
    pugi::xml_node response; // <XResponse> or <soap:Fault>
    QString fault; // the faultstring, empty when the call succeeded

    bool ok() const { return http.status == 200 && fault.isEmpty() && response; }
    pugi::xml_node resultNode() const; // <XResult>
    QString result() const; // its text
    QString output(const QString &name) const;
    // The plain message after "---> ".
    QString faultMessage() const;
};

QString childText(const pugi::xml_node &node, const char *name);
int countChildren(const pugi::xml_node &node, const char *name);
// A picture record's renditions by name: Url, Width, Height and FileSize of each.
QMap<QString, QMap<QString, QString>> renditionsOf(const pugi::xml_node &picture);
// Expects each named child element of node to hold its text (an empty text: present and empty).
void expectChildren(
    const pugi::xml_node &node, const QList<QPair<const char *, QString>> &expected);

class SoapTestClient
{
public:
    static constexpr const char *kServiceKey = "pondrel-desktop";
    static constexpr const char *kNamespaceBase = "http://services.trevane.com";

    explicit SoapTestClient(QString baseUrl);

    // One request; on reusedHandle (a curl easy handle) when given, so that its connection is
    // kept alive between requests.
    static HttpResult request(const QString &url, const QByteArray &method, const QByteArray &body,
        const QList<QByteArray> &headers = {}, void *reusedHandle = nullptr);
    static HttpResult get(const QString &url, const QList<QByteArray> &headers = {})
    {
        return request(url, "GET", {}, headers);
    }
    static QByteArray envelope(const QString &operation, const QString &operationNamespace,
        const SoapParameters &parameters);
    static QString serviceNamespace(const char *service);
    static SoapResult parseReply(const HttpResult &http);

    SoapResult collection(const QString &operation, const SoapParameters &parameters) const
    {
        return call("CollectionServices", operation, parameters);
    }
    SoapResult publishing(const QString &operation, const SoapParameters &parameters) const
    {
        return call("PublishingServices", operation, parameters);
    }
    // A publishing operation of a session: sessionIdentifier first, then the others.
    SoapResult inSession(
        const char *operation, const QString &session, const SoapParameters &others = {}) const
    {
        return publishing(operation, SoapParameters {{"sessionIdentifier", session}} + others);
    }
    SoapResult postRaw(
        const QString &path, const QByteArray &body, const QList<QByteArray> &headers = {}) const;

    // Conveniences for the common steps; each asserts nothing, the caller checks ok().
    SoapResult createAccount(const QString &email, const QString &password) const;
    SoapResult registerComputer(const QString &computer) const;
    SoapResult signOn(const QString &computer, const QString &email, const QString &password) const;
    SoapResult createFolder(
        const QString &session, const QString &parent, const QString &name) const;
    // The sixteen parameters of CreatePictureFileAsset, each with a value of its own kind.
    static SoapParameters pictureParameters(const QString &session, const QString &parent,
        const QString &name, const QString &moniker = {});
    SoapResult createPicture(const QString &session, const QString &parent, const QString &name,
        const QString &moniker = {}) const;
    SoapResult getAssets(const QString &session, const QString &parent) const;
    // CheckComputer with the service key.
    SoapResult checkComputer(const QString &computer) const;

    QString baseUrl() const { return m_baseUrl; }

private:
    SoapResult call(
        const char *service, const QString &operation, const SoapParameters &parameters) const;

    QString m_baseUrl;
};

// A signed-on account with one registered computer, and the steps of the agent's side of the
// road: visits, BITS uploads, status reports.
class AgentSide : public SoapTestClient
{
public:
    static inline const QString kComputer = "CCCCCCCC-1111-2222-3333-444444444444";
    static inline const QByteArray kProtocolOffer
        = "BITS-Supported-Protocols: {7df0354d-249b-430f-820d-3d2a9bef4931}";

    AgentSide(const RefServiceProcess &service, const QString &email);

    QString session() const { return m_session; }

    // Visit with the given CommandBatchStatus elements (raw XML) as previous statuses, from this
    // side's computer unless another is named.
    SoapResult visit(const QByteArray &statusesXml = {}, const QString &computer = kComputer) const;

    struct Command
    {
        QMap<QString, QString> fields;
        QString batch;
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
    QString m_session;
};

} // namespace pondrel
