#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <pugixml.hpp>

#include <memory>

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
    static QByteArray envelope(const QString &operation, const QString &operationNamespace,
        const SoapParameters &parameters);
    static SoapResult parseReply(const HttpResult &http);

    SoapResult collection(const QString &operation, const SoapParameters &parameters) const
    {
        return call("CollectionServices", operation, parameters);
    }
    SoapResult publishing(const QString &operation, const SoapParameters &parameters) const
    {
        return call("PublishingServices", operation, parameters);
    }
    SoapResult postRaw(
        const QString &path, const QByteArray &body, const QList<QByteArray> &headers = {}) const;

    // Conveniences for the common steps; each asserts nothing, the caller checks ok().
    SoapResult createAccount(const QString &email, const QString &password,
        const QString &firstName = "Ada", const QString &lastName = "Lovelace") const;
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
