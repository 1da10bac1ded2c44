// SPDX-License-Identifier: GPL-2.0-or-later
#include "soap/SoapReply.h"

#include "soap/ReplyElementConverter.h"

#include <pugixml.hpp>

namespace pondrel {

namespace SoapReply {

namespace {

constexpr char kEnvelopeNamespace[] = "http://schemas.xmlsoap.org/soap/envelope/";

// Conversion recurses along the element tree; a reply nested deeper than any service record is
// refused instead of exhausting the stack.
constexpr int kMaximumDepth = 256;

QString utf8(const char *text)
{
    return QString::fromUtf8(text);
}

QString localName(const pugi::xml_node &element)
{
    const QString qualified = utf8(element.name());
    const qsizetype colon = qualified.indexOf(QLatin1Char(':'));
    return colon < 0 ? qualified : qualified.mid(colon + 1);
}

// pugixml does not resolve namespaces, so the element's prefix is looked up along its ancestors.
QString namespaceOf(const pugi::xml_node &element)
{
    const QString qualified = utf8(element.name());
    const qsizetype colon = qualified.indexOf(QLatin1Char(':'));
    const QByteArray declaration = colon < 0
        ? QByteArrayLiteral("xmlns")
        : QByteArrayLiteral("xmlns:") + qualified.left(colon).toUtf8();
    for (pugi::xml_node node = element; node.type() == pugi::node_element; node = node.parent()) {
        const pugi::xml_attribute attribute = node.attribute(declaration.constData());
        if (attribute)
            return utf8(attribute.value());
    }
    return {};
}

bool isSoapElement(const pugi::xml_node &element, const char *name)
{
    return localName(element) == QLatin1String(name)
        && namespaceOf(element) == QLatin1String(kEnvelopeNamespace);
}

pugi::xml_node firstChildElement(const pugi::xml_node &parent)
{
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element)
            return child;
    }
    return {};
}

pugi::xml_node soapChild(const pugi::xml_node &parent, const char *name)
{
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && isSoapElement(child, name))
            return child;
    }
    return {};
}

Conversion refused(const QString &problem)
{
    Conversion conversion;
    conversion.problem = problem;
    return conversion;
}

Conversion convertChildren(pugi::xml_node element)
{
    ReplyElementConverter converter(kMaximumDepth);
    Conversion conversion;
    conversion.entries = converter.children(element, 0);
    if (converter.tooDeep())
        return refused(
            QStringLiteral("The reply nests elements more than %1 levels deep").arg(kMaximumDepth));
    return conversion;
}

Conversion convertFault(const pugi::xml_node &fault)
{
    Conversion conversion = convertChildren(fault);
    if (conversion.problem)
        return conversion;
    const QVariant faultString = conversion.entries.value(QStringLiteral("faultstring"));
    const QString text
        = faultString.typeId() == QMetaType::QString ? faultString.toString() : QString();
    conversion.faultString
        = text.isEmpty() ? QStringLiteral("The service reported a fault without a message") : text;
    return conversion;
}

Conversion convertParsed(
    pugi::xml_document &document, pugi::xml_parse_result parsed, const QString &operation)
{
    if (!parsed)
        return refused(QStringLiteral("The reply is not well-formed XML: %1 at byte %2")
                           .arg(utf8(parsed.description()))
                           .arg(qint64(parsed.offset)));
    const pugi::xml_node envelope = document.document_element();
    if (!isSoapElement(envelope, "Envelope"))
        return refused(QStringLiteral("The reply is not a SOAP envelope: its root element is <%1>")
                           .arg(utf8(envelope.name())));
    const pugi::xml_node soapBody = soapChild(envelope, "Body");
    if (!soapBody)
        return refused(QStringLiteral("The SOAP envelope has no Body"));
    const pugi::xml_node response = firstChildElement(soapBody);
    if (!response)
        return refused(QStringLiteral("The SOAP body is empty"));
    if (isSoapElement(response, "Fault"))
        return convertFault(response);
    const QString expected = operation + QStringLiteral("Response");
    if (localName(response) != expected)
        return refused(QStringLiteral("The SOAP body holds <%1> instead of <%2>")
                           .arg(utf8(response.name()), expected));
    return convertChildren(response);
}

} // namespace

Conversion convertInPlace(char *body, qsizetype size, const QString &operation)
{
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer_inplace(body, size_t(size),
        pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_embed_pcdata);
    return convertParsed(document, parsed, operation);
}

Conversion convert(QByteArrayView body, const QString &operation)
{
    QByteArray copy = body.toByteArray();
    return convertInPlace(copy.data(), copy.size(), operation);
}

} // namespace SoapReply

} // namespace pondrel
