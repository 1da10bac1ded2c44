#include "SoapTestClient.h"

#include <QUuid>

#include <curl/curl.h>

#include <gtest/gtest.h>

#include <sstream>

namespace {

size_t collectBody(char *data, size_t size, size_t count, void *target)
{
    static_cast<QByteArray *>(target)->append(data, qsizetype(size * count));
    return size * count;
}

size_t collectHeader(char *data, size_t size, size_t count, void *target)
{
    const QByteArray line = QByteArray(data, qsizetype(size * count)).trimmed();
    const qsizetype colon = line.indexOf(':');
    if (colon > 0) {
        static_cast<HttpResult *>(target)->headers.append(
            {line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return size * count;
}

QString localName(const pugi::xml_node &node)
{
    const QString name = QString::fromUtf8(node.name());
    return name.mid(name.indexOf(u':') + 1);
}

pugi::xml_node childByLocalName(const pugi::xml_node &parent, const QString &name)
{
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element && localName(child) == name)
            return child;
    }
    return {};
}

} // namespace

QByteArray HttpResult::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QString childText(const pugi::xml_node &node, const char *name)
{
    return QString::fromUtf8(node.child(name).text().get());
}

void expectChildren(const pugi::xml_node &node, const QList<QPair<const char *, QString>> &expected)
{
    for (const auto &[name, text] : expected) {
        EXPECT_TRUE(node.child(name)) << name;
        EXPECT_EQ(childText(node, name), text) << name;
    }
}

pugi::xml_node SoapResult::resultNode() const
{
    return childByLocalName(response, localName(response).chopped(8) + "Result");
}

QString SoapResult::result() const
{
    return QString::fromUtf8(resultNode().text().get());
}

QString SoapResult::output(const QString &name) const
{
    return QString::fromUtf8(childByLocalName(response, name).text().get());
}

QString SoapResult::faultMessage() const
{
    const qsizetype marker = fault.indexOf("---> ");
    return marker < 0 ? fault : fault.mid(marker + 5);
}

SoapTestClient::SoapTestClient(QString baseUrl)
    : m_baseUrl(std::move(baseUrl))
{ }

HttpResult SoapTestClient::request(const QString &url, const QByteArray &method,
    const QByteArray &body, const QList<QByteArray> &headers, void *reusedHandle)
{
    HttpResult result;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> owned(
        reusedHandle ? nullptr : curl_easy_init(), curl_easy_cleanup);
    CURL *const curl = reusedHandle ? reusedHandle : owned.get();
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> list(nullptr, curl_slist_free_all);
    for (const QByteArray &header : headers)
        list.reset(curl_slist_append(list.release(), header.constData()));
    const QByteArray urlBytes = url.toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.constData());
    if (method != "GET") {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.constData());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list.get());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, collectHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &result);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    const CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK)
        result.transportError = QString::fromUtf8(curl_easy_strerror(code));
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    curl_easy_getinfo(curl, CURLINFO_NUM_CONNECTS, &result.newConnections);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    return result;
}

QByteArray SoapTestClient::envelope(
    const QString &operation, const QString &operationNamespace, const SoapParameters &parameters)
{
    pugi::xml_document document;
    pugi::xml_node envelope = document.append_child("soap:Envelope");
    envelope.append_attribute("xmlns:soap") = "http://schemas.xmlsoap.org/soap/envelope/";
    pugi::xml_node call
        = envelope.append_child("soap:Body").append_child(operation.toUtf8().constData());
    call.append_attribute("xmlns") = operationNamespace.toUtf8().constData();
    for (const auto &[name, value] : parameters)
        call.append_child(name.toUtf8().constData()).text().set(value.toUtf8().constData());
    std::ostringstream stream;
    document.save(stream, "", pugi::format_raw);
    return QByteArray::fromStdString(stream.str());
}

SoapResult SoapTestClient::parseReply(const HttpResult &http)
{
    SoapResult result;
    result.http = http;
    result.document = std::make_shared<pugi::xml_document>();
    if (!result.document->load_buffer(http.body.constData(), size_t(http.body.size())))
        return result;
    const pugi::xml_node body
        = childByLocalName(childByLocalName(*result.document, "Envelope"), "Body");
    result.response = body.first_child();
    if (localName(result.response) == QLatin1String("Fault"))
        result.fault = QString::fromUtf8(result.response.child("faultstring").text().get());
    return result;
}

SoapResult SoapTestClient::postRaw(
    const QString &path, const QByteArray &body, const QList<QByteArray> &headers) const
{
    QList<QByteArray> all {"Content-Type: text/xml; charset=utf-8"};
    all += headers;
    return parseReply(request(m_baseUrl + path, "POST", body, all));
}

SoapResult SoapTestClient::call(
    const char *service, const QString &operation, const SoapParameters &parameters) const
{
    const QString ns = QString::fromLatin1(kNamespaceBase) + "/Pondrel/" + service;
    return postRaw(QString("/Pondrel/%1.asmx").arg(service), envelope(operation, ns, parameters),
        {"SOAPAction: " + (ns + u'/' + operation).toUtf8()});
}

SoapResult SoapTestClient::createAccount(const QString &email, const QString &password,
    const QString &firstName, const QString &lastName) const
{
    return publishing("CreateAccount",
        {{"serviceKey", QString::fromLatin1(kServiceKey)}, {"firstName", firstName},
            {"lastName", lastName}, {"emailAddress", email}, {"password", password},
            {"culture", "en-US"}});
}

SoapResult SoapTestClient::registerComputer(const QString &computer) const
{
    return collection("RegisterComputer",
        {{"serviceKey", QString::fromLatin1(kServiceKey)}, {"computerIdentifier", computer},
            {"computerName", "Test Box"}, {"computerDescription", "Test Box"}});
}

SoapResult SoapTestClient::signOn(
    const QString &computer, const QString &email, const QString &password) const
{
    return publishing("SignOn",
        {{"serviceKey", QString::fromLatin1(kServiceKey)}, {"computerIdentifier", computer},
            {"accountIdentifier", email}, {"password", password}});
}

SoapResult SoapTestClient::createFolder(
    const QString &session, const QString &parent, const QString &name) const
{
    return publishing("CreateFolderAsset",
        {{"sessionIdentifier", session}, {"parentIdentifier", parent}, {"folderName", name},
            {"folderDescription", QString()}, {"rating", "Unrated"},
            {"automaticThumbnailOptions", "ThumbnailFirstImage"}, {"sharingPermissions", "0"}});
}

SoapResult SoapTestClient::createPicture(const QString &session, const QString &parent,
    const QString &name, const QString &moniker) const
{
    return publishing("CreatePictureFileAsset", pictureParameters(session, parent, name, moniker));
}

SoapParameters SoapTestClient::pictureParameters(
    const QString &session, const QString &parent, const QString &name, const QString &moniker)
{
    return {{"sessionIdentifier", session}, {"parentIdentifier", parent}, {"pictureName", name},
        {"pictureDescription", "a picture"}, {"mediaType", "image/jpeg"}, {"rating", "Good"},
        {"creationDateUtc", "2008-03-01T14:05:09Z"},
        {"lastModificationDateUtc", "2008-03-02T10:00:00Z"}, {"fileSize", "123456"},
        {"hash", "0123456789abcdef0123456789abcdef01234567"},
        {"moniker",
            moniker.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()
                              : moniker},
        {"sharingPermissions", "7"}, {"width", "2000"}, {"height", "3000"},
        {"rotateFlipType", "Rotate90FlipNone"}, {"datePictureTakenUtc", "2008-03-01T13:00:00Z"}};
}

SoapResult SoapTestClient::getAssets(const QString &session, const QString &parent) const
{
    return publishing("GetAssets",
        {{"sessionIdentifier", session}, {"parentIdentifier", parent},
            {"commentsFilteringMode", "IncludeComments"}, {"includeSymbolicLinks", "1"},
            {"includeExportLinks", "1"}});
}

SoapResult SoapTestClient::checkComputer(const QString &computer) const
{
    return collection("CheckComputer",
        {{"serviceKey", QString::fromLatin1(kServiceKey)}, {"computerIdentifier", computer}});
}
