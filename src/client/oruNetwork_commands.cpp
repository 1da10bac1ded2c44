// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork.h"

#include "support/oruLog.h"

#include <pugixml.hpp>

#include <cstring>
#include <vector>

namespace pondrel {

namespace {

// Far deeper than any real batch, and shallow enough that walking it recursively is safe.
constexpr int kMaxCommandDepth = 32;

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

// The next node in document order below `root`, skipping the children of `node` when asked;
// `depth` follows the walk.
pugi::xml_node nextInDocument(
    pugi::xml_node node, const pugi::xml_node &root, bool intoChildren, int &depth)
{
    if (intoChildren && node.first_child()) {
        ++depth;
        return node.first_child();
    }
    while (node != root && !node.next_sibling()) {
        node = node.parent();
        --depth;
    }
    return node == root ? pugi::xml_node() : node.next_sibling();
}

bool deeperThan(const pugi::xml_node &root, int limit)
{
    int depth = 0;
    for (pugi::xml_node node = root.first_child(); node;) {
        if (depth >= limit)
            return true;
        node = nextInDocument(node, root, true, depth);
    }
    return false;
}

bool isCommand(const pugi::xml_node &node)
{
    return node.type() == pugi::node_element && std::strcmp(node.name(), "Command") == 0;
}

// The "Command" elements that no other "Command" holds, in document order: a command's own
// nested elements are its fields, never commands of their own.
std::vector<pugi::xml_node> outermostCommands(const pugi::xml_document &document)
{
    std::vector<pugi::xml_node> commands;
    int depth = 0;
    for (pugi::xml_node node = document.first_child(); node;) {
        const bool command = isCommand(node);
        if (command)
            commands.push_back(node);
        node = nextInDocument(node, document, !command, depth);
    }
    return commands;
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
    if (deeperThan(document, kMaxCommandDepth)) {
        ORU_LOG(QStringLiteral("Commands nested deeper than %1 levels are refused")
                    .arg(kMaxCommandDepth));
        return records;
    }
    for (const pugi::xml_node &command : outermostCommands(document)) {
        QVariantMap record;
        collectFields(command, record);
        records.append(record);
    }
    return records;
}

QVariantMap oruNetwork::parseSingleCommand(const QString &command)
{
    pugi::xml_document document;
    const QByteArray bytes = command.toUtf8();
    QVariantMap record;
    if (!document.load_buffer(bytes.constData(), bytes.size()) || !document.document_element()
        || deeperThan(document, kMaxCommandDepth)) {
        ORU_LOG(QStringLiteral("A command is not an XML element: %1").arg(command));
        return record;
    }
    collectFields(document.document_element(), record);
    return record;
}

} // namespace pondrel
