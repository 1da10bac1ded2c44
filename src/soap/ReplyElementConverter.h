// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <pugixml.hpp>

#include <vector>

namespace pondrel {

// Turns the children of one element of a parsed reply into the reply dictionary's values (see
// SoapReply.h for the rules). A listing of many thousand records makes millions of values, so
// the converter keeps its cost linear and small: each element is converted once, names and
// short recurring texts are made QStrings once and shared, and records of the same shape as
// the one before them are built from a copy of that shape instead of key by key.
// Conversion consumes the document: an element that held elements is removed once it is
// converted, so the parser frees its pages as the listing goes and the values reuse them instead
// of asking the kernel for as much memory again. The document must outlive the converter, which
// keeps views into its text.
class ReplyElementConverter
{
public:
    explicit ReplyElementConverter(int maximumDepth);

    QVariantMap children(pugi::xml_node parent, int depth);
    // Set when an element lay deeper than the maximum depth; the values are incomplete then.
    bool tooDeep() const { return m_tooDeep; }

private:
    struct Child
    {
        QString name;
        QVariant value;
        const char *qualifiedName;
    };
    // The names of a record in document order and its dictionary with empty values; the
    // document position of each dictionary entry in key order.
    struct Shape
    {
        QList<const QChar *> names;
        // The element names as the document spelled them, and their local names.
        QList<const char *> qualifiedNames;
        QList<QString> localNames;
        QVariantMap skeleton;
        QList<qsizetype> documentPositions;
    };

    QVariant element(pugi::xml_node node, int depth);
    QVariantMap dictionary(qsizetype first, int depth);
    QVariantMap dictionaryKeyByKey(qsizetype first);
    bool matches(const Shape &shape, qsizetype first) const;
    void learnShape(Shape &shape, qsizetype first, const QVariantMap &entries) const;
    QString nameOf(const pugi::xml_node &element, int depth, qsizetype position);
    const QString &localNameOf(const pugi::xml_node &element);
    QString textOf(const char *text);

    const int m_maximumDepth;
    bool m_tooDeep = false;
    // The children converted so far of every element being converted, innermost last.
    std::vector<Child> m_pending;
    // The last record shape seen at each depth.
    std::vector<Shape> m_shapes;
    QHash<QByteArrayView, QString> m_names;
    QHash<QByteArrayView, QString> m_shortTexts;
};

} // namespace pondrel
