// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/SoapReply.h"

#include "refservice/ByteAppender.h"

#include <utility>

namespace pondrel::refservice {

namespace {

const char *const kEnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";
const char *const kSchemaInstanceNamespace = "http://www.w3.org/2001/XMLSchema-instance";
const char *const kSchemaNamespace = "http://www.w3.org/2001/XMLSchema";

pugi::xml_node addEnvelope(pugi::xml_document &document)
{
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    pugi::xml_node envelope = document.append_child("soap:Envelope");
    envelope.append_attribute("xmlns:soap") = kEnvelopeNamespace;
    envelope.append_attribute("xmlns:xsi") = kSchemaInstanceNamespace;
    envelope.append_attribute("xmlns:xsd") = kSchemaNamespace;
    return envelope.append_child("soap:Body");
}

class ByteCounter : public pugi::xml_writer
{
public:
    void write(const void *, size_t size) override { total += qsizetype(size); }
    qsizetype total = 0;
};

// A listing of many thousand records runs to megabytes: measured first, it is written into one
// buffer of the exact size instead of growing a stream and copying it out.
QByteArray toBytes(const pugi::xml_document &document)
{
    constexpr unsigned kFlags = pugi::format_raw;
    ByteCounter counter;
    document.save(counter, "", kFlags, pugi::encoding_utf8);
    QByteArray bytes;
    bytes.reserve(counter.total);
    ByteAppender appender(bytes);
    document.save(appender, "", kFlags, pugi::encoding_utf8);
    return bytes;
}

} // namespace

SoapReply::SoapReply(const QString &operation, const QString &operationNamespace)
{
    pugi::xml_node body = addEnvelope(m_document);
    m_response = body.append_child((operation + QStringLiteral("Response")).toUtf8().constData());
    m_response.append_attribute("xmlns") = operationNamespace.toUtf8().constData();
    m_resultName = (operation + QStringLiteral("Result")).toUtf8();
    m_result = m_response.append_child(m_resultName.constData());
}

void SoapReply::setResultText(const QString &text)
{
    m_result.text().set(text.toUtf8().constData());
}

void SoapReply::addOutput(const QString &name, const QString &text)
{
    addText(m_response, name, text);
}

// Nothing before the result element can look like it: the envelope holds element names and
// namespace declarations only.
QByteArray &SoapReply::resultMarkup()
{
    if (!m_resultMarkup) {
        const QByteArray tree = toBytes(m_document);
        const qsizetype at = tree.indexOf(emptyResultTag());
        m_resultMarkup = tree.left(at) + '<' + m_resultName + '>';
    }
    return *m_resultMarkup;
}

QByteArray SoapReply::serialize()
{
    const QByteArray tree = toBytes(m_document);
    if (!m_resultMarkup)
        return tree;
    const QByteArray emptyResult = emptyResultTag();
    const qsizetype after = tree.indexOf(emptyResult) + emptyResult.size();
    QByteArray bytes = *std::exchange(m_resultMarkup, std::nullopt);
    bytes.append("</").append(m_resultName).append('>');
    bytes.append(tree.constData() + after, tree.size() - after);
    return bytes;
}

QByteArray SoapReply::emptyResultTag() const
{
    return '<' + m_resultName + "/>";
}

QByteArray SoapReply::fault(const QString &message)
{
    pugi::xml_document document;
    pugi::xml_node body = addEnvelope(document);
    pugi::xml_node fault = body.append_child("soap:Fault");
    addText(fault, QStringLiteral("faultcode"), QStringLiteral("soap:Server"));
    addText(fault, QStringLiteral("faultstring"),
        QStringLiteral("Server was unable to process request. ---> ") + message);
    addElement(fault, QStringLiteral("detail"));
    return toBytes(document);
}

pugi::xml_node SoapReply::addText(pugi::xml_node parent, const QString &name, const QString &text)
{
    pugi::xml_node element = addElement(parent, name);
    if (!text.isEmpty())
        element.text().set(text.toUtf8().constData());
    return element;
}

pugi::xml_node SoapReply::addElement(pugi::xml_node parent, const QString &name)
{
    return parent.append_child(name.toUtf8().constData());
}

pugi::xml_node SoapReply::addText(pugi::xml_node parent, const char *name, const QString &text)
{
    pugi::xml_node element = parent.append_child(name);
    if (!text.isEmpty())
        element.text().set(text.toUtf8().constData());
    return element;
}

pugi::xml_node SoapReply::addElement(pugi::xml_node parent, const char *name)
{
    return parent.append_child(name);
}

} // namespace pondrel::refservice
