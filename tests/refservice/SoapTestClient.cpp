// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/refservice/SoapTestClient.h"

#include <QRandomGenerator>
#include <QUuid>

#include <curl/curl.h>

#include <gtest/gtest.h>

#include <sstream>

namespace pondrel {

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

int countChildren(const pugi::xml_node &node, const char *name)
{
    const auto children = node.children(name);
    return int(std::distance(children.begin(), children.end()));
}

QMap<QString, QMap<QString, QString>> renditionsOf(const pugi::xml_node &picture)
{
    QMap<QString, QMap<QString, QString>> found;
    for (pugi::xml_node rendition :
        picture.child("PictureFileAssetRenditions").children("PictureFileAssetRendition")) {
        for (const char *name : {"Url", "Width", "Height", "FileSize"})
            found[childText(rendition, "Name")].insert(name, childText(rendition, name));
    }
    return found;
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
    // "<operation>Response" holds "<operation>Result"; a fault or no response holds none.
    const QString name = localName(response);
    if (!name.endsWith(QLatin1String("Response")))
        return {};
    return childByLocalName(response, name.chopped(8) + "Result");
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
    for (const auto &[name, value] : parameters) {
        const QByteArray text = value.toUtf8();
        if (!name.startsWith(u'@')) {
            call.append_child(name.toUtf8().constData()).text().set(text.constData());
            continue;
        }
        pugi::xml_node raw = call.append_child(name.mid(1).toUtf8().constData());
        if (!text.isEmpty() && !raw.append_buffer(text.data(), size_t(text.size())))
            ADD_FAILURE() << "not well-formed XML for " << name.toStdString();
    }
    std::ostringstream stream;
    document.save(stream, "", pugi::format_raw);
    return QByteArray::fromStdString(stream.str());
}

QString SoapTestClient::serviceNamespace(const char *service)
{
    return QString::fromLatin1(kNamespaceBase) + "/Pondrel/" + QString::fromLatin1(service);
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
    const QString ns = serviceNamespace(service);
    return postRaw(QString("/Pondrel/%1.asmx").arg(service), envelope(operation, ns, parameters),
        {"SOAPAction: " + (ns + u'/' + operation).toUtf8()});
}

SoapResult SoapTestClient::createAccount(const QString &email, const QString &password) const
{
    return publishing("CreateAccount",
        {{"serviceKey", QString::fromLatin1(kServiceKey)}, {"firstName", "Ada"},
            {"lastName", "Lovelace"}, {"emailAddress", email}, {"password", password},
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

namespace {

// The same reading the agent does: attributes and leaf elements of Command, flattened.
QMap<QString, QString> flatten(const pugi::xml_node &command)
{
    QMap<QString, QString> fields;
    for (pugi::xml_attribute attribute : command.attributes())
        fields.insert(QString::fromUtf8(attribute.name()), QString::fromUtf8(attribute.value()));
    for (pugi::xml_node child : command.children()) {
        if (child.type() == pugi::node_element)
            fields.insert(QString::fromUtf8(child.name()), QString::fromUtf8(child.child_value()));
    }
    return fields;
}

} // namespace

AgentSide::AgentSide(const RefServiceProcess &service, const QString &email)
    : SoapTestClient(service.baseUrl())
{
    createAccount(email, "password1");
    registerComputer(kComputer);
    m_session = signOn(kComputer, email, "password1").result();
}

SoapResult AgentSide::visit(const QByteArray &statusesXml, const QString &computer) const
{
    return collection("Visit",
        {{"serviceKey", kServiceKey}, {"computerIdentifier", '{' + computer + '}'},
            {"@accountIdentifiersHashes", "<string>0123</string>"},
            {"@previousCommandBatchesStatuses", QString::fromUtf8(statusesXml)}});
}

QList<AgentSide::Command> AgentSide::commandsOf(const SoapResult &visit)
{
    QList<Command> commands;
    for (pugi::xml_node batch : visit.resultNode().children("CommandBatch")) {
        pugi::xml_document document;
        const QByteArray text = QByteArray(batch.child("Commands").child_value());
        if (!document.load_buffer(text.constData(), size_t(text.size())))
            continue;
        for (pugi::xpath_node found : document.select_nodes("//Command")) {
            commands.append({flatten(found.node()), childText(batch, "UniqueIdentifier")});
        }
    }
    return commands;
}

HttpResult AgentSide::bits(const QString &url, const QByteArray &packet,
    const QList<QByteArray> &headers, const QByteArray &body)
{
    QList<QByteArray> all {
        "BITS-Packet-Type: " + packet, "User-Agent: Microsoft BITS/6.6", "Expect:"};
    all += headers;
    return SoapTestClient::request(url, "BITS_POST", body, all);
}

HttpResult AgentSide::upload(const QString &url, const QByteArray &bytes, int pieces)
{
    const HttpResult created = bits(url, "Create-Session", {kProtocolOffer, "Content-Name: r.jpg"});
    if (created.status != 200)
        return created;
    const QByteArray session = "BITS-Session-Id: " + created.header("BITS-Session-Id");
    const qint64 step = (bytes.size() + pieces - 1) / pieces;
    for (qint64 first = 0; first < bytes.size(); first += step) {
        const QByteArray piece = bytes.mid(first, step);
        const QByteArray range = "Content-Range: bytes " + QByteArray::number(first) + '-'
            + QByteArray::number(first + piece.size() - 1) + '/' + QByteArray::number(bytes.size());
        const HttpResult fragment = bits(url, "Fragment", {session, range}, piece);
        if (fragment.status != 200)
            return fragment;
    }
    return bits(url, "Close-Session", {session});
}

QByteArray AgentSide::batchStatus(const QString &batch, const QList<QByteArray> &commandStatuses)
{
    return "<CommandBatchStatus><CommandStatus>" + commandStatuses.join()
        + "</CommandStatus><UniqueIdentifier>" + batch.toUtf8()
        + "</UniqueIdentifier></CommandBatchStatus>";
}

namespace {

QByteArray commandStatus(const QString &command, const char *status, const QByteArray &errorCode,
    const QList<QPair<const char *, qint64>> &returned)
{
    QByteArray parameters;
    for (const auto &[name, value] : returned) {
        parameters += "<ReturnParameter><Name>" + QByteArray(name) + "</Name><Value>"
            + QByteArray::number(value) + "</Value></ReturnParameter>";
    }
    return "<CommandStatus><UniqueIdentifier>" + command.toUtf8()
        + "</UniqueIdentifier><CommandExecutionStatus>" + status
        + "</CommandExecutionStatus><ErrorCode>" + errorCode
        + "</ErrorCode><ErrorDescription></ErrorDescription><ReturnParameters>" + parameters
        + "</ReturnParameters></CommandStatus>";
}

} // namespace

QByteArray AgentSide::succeeded(const QString &command, int width, int height, qint64 size)
{
    return commandStatus(
        command, "Succeeded", "0", {{"fileSize", size}, {"width", width}, {"height", height}});
}

QByteArray AgentSide::failed(const QString &command, const QString &errorCode)
{
    return commandStatus(command, "Failed", errorCode.toUtf8(), {});
}

SoapResult AgentSide::completeAll(const SoapResult &visit) const
{
    QMap<QString, QList<QByteArray>> statuses;
    for (const Command &command : commandsOf(visit)) {
        const int width = command.fields.value("width").toInt();
        const QByteArray bytes = fakeJpeg(500 + width, 'q');
        if (upload(command.url(), bytes).status == 200)
            statuses[command.batch].append(succeeded(command.id(), width, width, bytes.size()));
    }
    QByteArray all;
    for (auto it = statuses.cbegin(); it != statuses.cend(); ++it)
        all += batchStatus(it.key(), it.value());
    return this->visit(all);
}

QByteArray AgentSide::fakeJpeg(int size, char fill)
{
    QByteArray bytes(size, fill);
    for (int i = 4; i < size - 2; i += 7)
        bytes[i] = char(QRandomGenerator::global()->bounded(256));
    return bytes.replace(0, 4, "\xFF\xD8\xFF\xE0").replace(size - 2, 2, "\xFF\xD9");
}

} // namespace pondrel
