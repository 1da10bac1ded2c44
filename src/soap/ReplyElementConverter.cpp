// SPDX-License-Identifier: GPL-2.0-or-later
#include "soap/ReplyElementConverter.h"

#include "support/Values.h"

#include <cstring>
#include <optional>

namespace pondrel {

namespace {

// Texts up to this many bytes are shared, as long as fewer than kMostSharedTexts are known: the
// ones that recur ("0", "false", "Unrated", "Thumbnail", widths) come with the first records.
constexpr qsizetype kLongestSharedText = 20;
constexpr qsizetype kMostSharedTexts = 4096;

} // namespace

ReplyElementConverter::ReplyElementConverter(int maximumDepth)
    : m_maximumDepth(maximumDepth)
{ }

QVariantMap ReplyElementConverter::children(pugi::xml_node parent, int depth)
{
    const qsizetype first = qsizetype(m_pending.size());
    for (pugi::xml_node child = parent.first_child(), next; child; child = next) {
        next = child.next_sibling();
        if (child.type() != pugi::node_element)
            continue;
        QVariant value = element(child, depth + 1);
        const qsizetype position = qsizetype(m_pending.size()) - first;
        m_pending.push_back({nameOf(child, depth, position), std::move(value), child.name()});
        if (child.first_child().type() == pugi::node_element)
            parent.remove_child(child);
    }
    QVariantMap entries = dictionary(first, depth);
    m_pending.resize(std::size_t(first));
    return entries;
}

QVariant ReplyElementConverter::element(pugi::xml_node node, int depth)
{
    if (depth > m_maximumDepth) {
        m_tooDeep = true;
        return {};
    }
    // The parser keeps an element's leading text as the element's value instead of as a node of
    // its own (half the nodes of a listing); text after a CDATA section or a comment still
    // follows as nodes.
    std::optional<QString> text;
    if (*node.value())
        text = textOf(node.value());
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        switch (child.type()) {
        case pugi::node_element:
            return children(node, depth);
        case pugi::node_pcdata:
        case pugi::node_cdata:
            if (text)
                *text += QString::fromUtf8(child.value());
            else
                text = textOf(child.value());
            break;
        default:
            break;
        }
    }
    if (text)
        return *std::move(text);
    return Values::nullMarker();
}

QVariantMap ReplyElementConverter::dictionary(qsizetype first, int depth)
{
    if (m_shapes.size() <= std::size_t(depth))
        m_shapes.resize(std::size_t(depth) + 1);
    Shape &shape = m_shapes[std::size_t(depth)];
    if (!matches(shape, first)) {
        QVariantMap entries = dictionaryKeyByKey(first);
        learnShape(shape, first, entries);
        return entries;
    }
    // Copying the skeleton copies its tree as it stands, without comparing a key.
    QVariantMap entries = shape.skeleton;
    auto position = shape.documentPositions.cbegin();
    for (auto entry = entries.begin(); entry != entries.end(); ++entry, ++position)
        *entry = std::move(m_pending[std::size_t(first + *position)].value);
    return entries;
}

// A name seen again turns its entry into an array that later siblings are appended to in place.
// Element values are never arrays themselves, so an array in the dictionary is always such a
// repetition.
QVariantMap ReplyElementConverter::dictionaryKeyByKey(qsizetype first)
{
    QVariantMap entries;
    for (auto child = m_pending.begin() + first; child != m_pending.end(); ++child) {
        auto found = entries.find(child->name);
        if (found == entries.end()) {
            entries.insert(found, child->name, std::move(child->value));
            continue;
        }
        if (found->metaType() != QMetaType::fromType<QVariantList>())
            *found = QVariantList {std::move(*found)};
        static_cast<QVariantList *>(found->data())->append(std::move(child->value));
    }
    return entries;
}

// Names are shared QStrings, so the same name is the same character data.
bool ReplyElementConverter::matches(const Shape &shape, qsizetype first) const
{
    const qsizetype count = qsizetype(m_pending.size()) - first;
    if (shape.names.isEmpty() || shape.names.size() != count)
        return false;
    for (qsizetype index = 0; index < count; ++index) {
        if (shape.names[index] != m_pending[std::size_t(first + index)].name.constData())
            return false;
    }
    return true;
}

void ReplyElementConverter::learnShape(
    Shape &shape, qsizetype first, const QVariantMap &entries) const
{
    const qsizetype count = qsizetype(m_pending.size()) - first;
    shape = {};
    // A record with a repeated name keeps being built key by key.
    if (entries.size() != count)
        return;
    QHash<const QChar *, qsizetype> positions;
    for (qsizetype index = 0; index < count; ++index) {
        const Child &child = m_pending[std::size_t(first + index)];
        const QString &name = child.name;
        shape.names.append(name.constData());
        shape.qualifiedNames.append(child.qualifiedName);
        shape.localNames.append(name);
        positions.insert(name.constData(), index);
        shape.skeleton.insert(name, QVariant());
    }
    for (auto entry = shape.skeleton.cbegin(); entry != shape.skeleton.cend(); ++entry)
        shape.documentPositions.append(positions.value(entry.key().constData()));
}

// The records of a listing name their fields as the record before did: a name spelled as the
// record shape at this position spells it is that position's name, without a lookup.
QString ReplyElementConverter::nameOf(const pugi::xml_node &element, int depth, qsizetype position)
{
    if (std::size_t(depth) < m_shapes.size()) {
        const Shape &shape = m_shapes[std::size_t(depth)];
        if (position < shape.qualifiedNames.size()
            && std::strcmp(shape.qualifiedNames[position], element.name()) == 0)
            return shape.localNames[position];
    }
    return localNameOf(element);
}

// A listing repeats a few dozen names hundreds of thousands of times: each is made once.
const QString &ReplyElementConverter::localNameOf(const pugi::xml_node &element)
{
    const char *qualified = element.name();
    const char *colon = std::strchr(qualified, ':');
    const QByteArrayView name(colon ? colon + 1 : qualified);
    auto known = m_names.constFind(name);
    if (known == m_names.constEnd())
        known = m_names.insert(name, QString::fromUtf8(name));
    return *known;
}

QString ReplyElementConverter::textOf(const char *text)
{
    const QByteArrayView value(text);
    if (value.size() > kLongestSharedText)
        return QString::fromUtf8(value);
    auto known = m_shortTexts.constFind(value);
    if (known != m_shortTexts.constEnd())
        return *known;
    QString converted = QString::fromUtf8(value);
    if (m_shortTexts.size() < kMostSharedTexts)
        m_shortTexts.insert(value, converted);
    return converted;
}

} // namespace pondrel
