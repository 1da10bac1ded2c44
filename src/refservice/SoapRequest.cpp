// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/SoapRequest.h"

#include "refservice/ServiceFault.h"

namespace pondrel::refservice {

namespace {

pugi::xml_node firstElement(const pugi::xml_node &parent)
{
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element)
            return child;
    }
    return {};
}

pugi::xml_node childByLocalName(const pugi::xml_node &parent, const QString &name)
{
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && SoapRequest::localName(child) == name)
            return child;
    }
    return {};
}

// The namespace the element's prefix (or the default namespace) stands for at that element.
QString namespaceOf(const pugi::xml_node &element)
{
    const QString qualified = QString::fromUtf8(element.name());
    const qsizetype colon = qualified.indexOf(u':');
    const QString attribute
        = colon < 0 ? QStringLiteral("xmlns") : QStringLiteral("xmlns:") + qualified.left(colon);
    const QByteArray attributeName = attribute.toUtf8();
    for (pugi::xml_node node = element; node; node = node.parent()) {
        if (const pugi::xml_attribute declared = node.attribute(attributeName.constData()))
            return QString::fromUtf8(declared.value());
    }
    return {};
}

QString collectText(const pugi::xml_node &node)
{
    QString text;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            text += QString::fromUtf8(child.value());
    }
    return text;
}

} // namespace

QString SoapRequest::localName(const pugi::xml_node &node)
{
    const QString qualified = QString::fromUtf8(node.name());
    const qsizetype colon = qualified.indexOf(u':');
    return colon < 0 ? qualified : qualified.mid(colon + 1);
}

std::optional<SoapRequest> SoapRequest::parse(const QByteArray &body, QString &errorMsg)
{
    auto document = std::make_shared<pugi::xml_document>();
    const pugi::xml_parse_result parsed = document->load_buffer(
        body.constData(), size_t(body.size()), pugi::parse_default, pugi::encoding_auto);
    if (!parsed) {
        errorMsg = QStringLiteral("The request is not well-formed XML (%1 at byte %2).")
                       .arg(QString::fromUtf8(parsed.description()))
                       .arg(parsed.offset);
        return std::nullopt;
    }
    const pugi::xml_node envelope = firstElement(*document);
    if (localName(envelope) != QLatin1String("Envelope")) {
        errorMsg = QStringLiteral("The request is not a SOAP envelope.");
        return std::nullopt;
    }
    const pugi::xml_node body_ = childByLocalName(envelope, QStringLiteral("Body"));
    const pugi::xml_node operation = firstElement(body_);
    if (!operation) {
        errorMsg = QStringLiteral("The SOAP body names no operation.");
        return std::nullopt;
    }
    SoapRequest request;
    request.m_document = document;
    request.m_operationNode = operation;
    request.m_operation = localName(operation);
    request.m_namespace = namespaceOf(operation);
    return request;
}

bool SoapRequest::has(const QString &name) const
{
    return bool(childByLocalName(m_operationNode, name));
}

QString SoapRequest::text(const QString &name) const
{
    const pugi::xml_node parameter = childByLocalName(m_operationNode, name);
    if (!parameter)
        throw ServiceFault(QStringLiteral("The parameter %1 is missing.").arg(name));
    return collectText(parameter);
}

QString SoapRequest::textOr(const QString &name, const QString &fallback) const
{
    const pugi::xml_node parameter = childByLocalName(m_operationNode, name);
    return parameter ? collectText(parameter) : fallback;
}

qint64 SoapRequest::integer(const QString &name) const
{
    bool ok = false;
    const qint64 value = text(name).trimmed().toLongLong(&ok);
    if (!ok)
        throw ServiceFault(QStringLiteral("The parameter %1 must be a whole number.").arg(name));
    return value;
}

bool SoapRequest::boolean(const QString &name, bool fallback) const
{
    if (!has(name))
        return fallback;
    const QString value = text(name).trimmed().toLower();
    if (value == QLatin1String("1") || value == QLatin1String("true"))
        return true;
    if (value == QLatin1String("0") || value == QLatin1String("false") || value.isEmpty())
        return false;
    throw ServiceFault(QStringLiteral("The parameter %1 must be true or false.").arg(name));
}

pugi::xml_node SoapRequest::node(const QString &name) const
{
    return childByLocalName(m_operationNode, name);
}

} // namespace pondrel::refservice
