// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork.h"

#include "support/oruLog.h"

#include <pugixml.hpp>

#include <sstream>

namespace pondrel {

namespace {

QString text(const pugi::char_t *value)
{
    return QString::fromUtf8(value);
}

// The text of an element as a whole: every text and CDATA node beneath it, in order.
QString descendantText(const pugi::xml_node &element)
{
    QString collected;
    for (pugi::xml_node node = element.first_child(); node;) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            collected += text(node.value());
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && node != element && !node.next_sibling())
            node = node.parent();
        if (!node || node == element)
            break;
        node = node.next_sibling();
    }
    return collected;
}

bool hasExactlyOneChild(const pugi::xml_node &element)
{
    return element.first_child() && !element.first_child().next_sibling();
}

void collectFields(const pugi::xml_node &element, QVariantMap &record)
{
    for (const pugi::xml_attribute &attribute : element.attributes())
        record.insert(text(attribute.name()), text(attribute.value()));
    if (hasExactlyOneChild(element)) {
        const QString value = descendantText(element);
        if (!value.isEmpty())
            record.insert(text(element.name()), value);
    }
    for (const pugi::xml_node &child : element.children()) {
        if (child.type() == pugi::node_element)
            collectFields(child, record);
    }
}

QString outerXml(const pugi::xml_node &node)
{
    std::ostringstream stream;
    node.print(stream, "", pugi::format_raw);
    return QString::fromStdString(stream.str());
}

} // namespace

QVariantList oruNetwork::parseCommands(const QString &commands)
{
    pugi::xml_document document;
    const QByteArray bytes = commands.toUtf8();
    const pugi::xml_parse_result parsed = document.load_buffer(bytes.constData(), bytes.size());
    QVariantList records;
    if (!parsed) {
        ORU_LOG(
            QStringLiteral("Commands are not an XML document: %1").arg(text(parsed.description())));
        return records;
    }
    for (const pugi::xpath_node &found : document.select_nodes("//Command"))
        records.append(parseSingleCommand(outerXml(found.node())));
    return records;
}

QVariantMap oruNetwork::parseSingleCommand(const QString &command)
{
    pugi::xml_document document;
    const QByteArray bytes = command.toUtf8();
    QVariantMap record;
    if (!document.load_buffer(bytes.constData(), bytes.size()) || !document.document_element()) {
        ORU_LOG(QStringLiteral("A command is not an XML element: %1").arg(command));
        return record;
    }
    collectFields(document.document_element(), record);
    return record;
}

} // namespace pondrel
