#include "UploadTestSupport.h"

#include <QRandomGenerator>

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
    : m_soap(service.baseUrl())
    , m_email(email)
{
    m_soap.createAccount(email, "password1");
    m_soap.registerComputer(kComputer);
    m_session = m_soap.signOn(kComputer, email, "password1").result();
}

SoapResult AgentSide::visit(const QByteArray &statusesXml, const QString &computer) const
{
    QByteArray body = SoapTestClient::envelope("Visit",
        QString::fromLatin1(SoapTestClient::kNamespaceBase) + "/Pondrel/CollectionServices",
        {{"serviceKey", SoapTestClient::kServiceKey}, {"computerIdentifier", '{' + computer + '}'},
            {"accountIdentifiersHashes", "@hashes"},
            {"previousCommandBatchesStatuses", "@statuses"}});
    body.replace("@hashes", "<string>0123</string>").replace("@statuses", statusesXml);
    return m_soap.postRaw("/Pondrel/CollectionServices.asmx", body);
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
            commands.append({flatten(found.node()), childText(batch, "UniqueIdentifier"),
                childText(batch, "Moniker")});
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

QByteArray AgentSide::succeeded(const QString &command, int width, int height, qint64 size)
{
    auto parameter = [](const char *name, qint64 value) {
        return "<ReturnParameter><Name>" + QByteArray(name) + "</Name><Value>"
            + QByteArray::number(value) + "</Value></ReturnParameter>";
    };
    return "<CommandStatus><UniqueIdentifier>" + command.toUtf8()
        + "</UniqueIdentifier><CommandExecutionStatus>Succeeded</CommandExecutionStatus>"
          "<ErrorCode>0</ErrorCode><ErrorDescription></ErrorDescription><ReturnParameters>"
        + parameter("fileSize", size) + parameter("width", width) + parameter("height", height)
        + "</ReturnParameters></CommandStatus>";
}

QByteArray AgentSide::failed(const QString &command, const QString &errorCode)
{
    return "<CommandStatus><UniqueIdentifier>" + command.toUtf8()
        + "</UniqueIdentifier><CommandExecutionStatus>Failed</CommandExecutionStatus><ErrorCode>"
        + errorCode.toUtf8()
        + "</ErrorCode><ErrorDescription></ErrorDescription><ReturnParameters></ReturnParameters>"
          "</CommandStatus>";
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
    bytes[0] = char(0xFF);
    bytes[1] = char(0xD8);
    bytes[2] = char(0xFF);
    bytes[3] = char(0xE0);
    bytes[size - 2] = char(0xFF);
    bytes[size - 1] = char(0xD9);
    return bytes;
}
