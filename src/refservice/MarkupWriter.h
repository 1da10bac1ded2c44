// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <pugixml.hpp>

namespace pondrel::refservice {

// Appends XML elements as text to a byte buffer, byte for byte as pugixml saves the same tree
// unformatted: text escapes &, < and >, and control characters other than tab, line feed and
// carriage return as "&#NN;"; an element with an empty text is written "<name/>"; a text ends at
// its first NUL character. A listing of many thousand records is written this way without building
// a tree of millions of nodes first.
class MarkupWriter
{
public:
    explicit MarkupWriter(QByteArray &bytes)
        : m_bytes(bytes)
    { }

    void open(QByteArrayView name);
    void close(QByteArrayView name);
    void element(QByteArrayView name, QStringView text);
    void element(QByteArrayView name, qint64 number);
    // The same for UTF-8 text as storage holds it, written as a QString of those bytes would be.
    void utf8Element(QByteArrayView name, QByteArrayView text);
    // A tree built with pugixml, for records whose parts are written by tree-building code.
    void tree(const pugi::xml_node &node);

private:
    // Room for `count` more bytes at the end, returned to be written.
    char *grow(qsizetype count);
    // Text that needs no escape, written with one growth of the buffer.
    void plainElement(QByteArrayView name, QByteArrayView text);
    void emptyElement(QByteArrayView name);
    void escapedElement(QByteArrayView name, QByteArrayView utf8);
    static char *startTag(char *out, QByteArrayView name);
    static char *endTag(char *out, QByteArrayView name);
    void escapedUtf8(QByteArrayView text);

    QByteArray &m_bytes;
};

} // namespace pondrel::refservice
