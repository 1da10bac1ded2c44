// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/MarkupWriter.h"

#include "refservice/ByteAppender.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace pondrel::refservice {

namespace {

// Whether pugixml writes the character other than as itself in text (NUL ends the text).
bool isSpecial(char16_t character)
{
    return character == '&' || character == '<' || character == '>'
        || (character < ' ' && character != '\t' && character != '\n' && character != '\r');
}

// One special character as pugixml escapes it.
void appendSpecial(QByteArray &bytes, char character)
{
    switch (character) {
    case '&':
        bytes.append("&amp;");
        break;
    case '<':
        bytes.append("&lt;");
        break;
    case '>':
        bytes.append("&gt;");
        break;
    default:
        const char reference[]
            = {'&', '#', char('0' + character / 10), char('0' + character % 10), ';'};
        bytes.append(reference, qsizetype(sizeof reference));
    }
}

} // namespace

void MarkupWriter::open(const char *name)
{
    const qsizetype length = qsizetype(std::strlen(name));
    startTag(grow(length + 2), name, length);
}

void MarkupWriter::close(const char *name)
{
    const qsizetype length = qsizetype(std::strlen(name));
    endTag(grow(length + 3), name, length);
}

// An element is written with one growth of the buffer: a listing writes hundreds of thousands.
void MarkupWriter::element(const char *name, QStringView text)
{
    const qsizetype length = qsizetype(std::strlen(name));
    if (text.isEmpty()) {
        char *out = grow(length + 3);
        *out++ = '<';
        std::memcpy(out, name, std::size_t(length));
        std::memcpy(out + length, "/>", 2);
        return;
    }
    const qsizetype start = m_bytes.size();
    char *out = startTag(grow(2 * length + 5 + text.size()), name, length);
    for (const QChar character : text) {
        const char16_t unit = character.unicode();
        if (unit >= 0x80 || isSpecial(unit) || unit == 0) {
            m_bytes.truncate(start);
            open(name);
            escapedUtf8(text.toUtf8());
            close(name);
            return;
        }
        *out++ = char(unit);
    }
    endTag(out, name, length);
}

void MarkupWriter::element(const char *name, qint64 number)
{
    char digits[24];
    const std::to_chars_result end = std::to_chars(std::begin(digits), std::end(digits), number);
    const qsizetype length = qsizetype(std::strlen(name));
    const qsizetype digitCount = end.ptr - digits;
    char *out = startTag(grow(2 * length + 5 + digitCount), name, length);
    std::memcpy(out, digits, std::size_t(digitCount));
    endTag(out + digitCount, name, length);
}

void MarkupWriter::tree(const pugi::xml_node &node)
{
    ByteAppender appender(m_bytes);
    node.print(appender, "", pugi::format_raw, pugi::encoding_utf8);
}

// The buffer grows at least twofold, so that a listing written without a reservation still
// costs linear time.
char *MarkupWriter::grow(qsizetype count)
{
    const qsizetype start = m_bytes.size();
    if (m_bytes.capacity() - start < count)
        m_bytes.reserve(std::max(2 * m_bytes.capacity(), start + count));
    m_bytes.resize(start + count);
    return m_bytes.data() + start;
}

char *MarkupWriter::startTag(char *out, const char *name, qsizetype length)
{
    *out++ = '<';
    std::memcpy(out, name, std::size_t(length));
    out[length] = '>';
    return out + length + 1;
}

char *MarkupWriter::endTag(char *out, const char *name, qsizetype length)
{
    std::memcpy(out, "</", 2);
    std::memcpy(out + 2, name, std::size_t(length));
    out[length + 2] = '>';
    return out + length + 3;
}

// Bytes of multi-byte characters are all 0x80 or above and pass unchanged, in runs.
void MarkupWriter::escapedUtf8(QByteArrayView text)
{
    qsizetype runStart = 0;
    for (qsizetype index = 0; index < text.size(); ++index) {
        const unsigned char byte = static_cast<unsigned char>(text[index]);
        if (byte >= 0x80 || (byte != 0 && !isSpecial(byte)))
            continue;
        m_bytes.append(text.data() + runStart, index - runStart);
        if (byte == 0)
            return;
        appendSpecial(m_bytes, char(byte));
        runStart = index + 1;
    }
    m_bytes.append(text.data() + runStart, text.size() - runStart);
}

} // namespace pondrel::refservice
