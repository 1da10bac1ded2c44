// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/MarkupWriter.h"

#include "refservice/ByteAppender.h"

#include <QString>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

namespace pondrel::refservice {

namespace {

// Whether pugixml writes the character other than as itself in text (NUL ends the text).
constexpr bool isSpecial(char16_t character)
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

// The ASCII characters pugixml writes as themselves, by code.
constexpr std::array<bool, 256> kPlain = [] {
    std::array<bool, 256> plain {};
    for (int character = 1; character < 0x80; ++character)
        plain[std::size_t(character)] = !isSpecial(char16_t(character));
    return plain;
}();

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
        emptyElement(name, length);
        return;
    }
    const qsizetype start = m_bytes.size();
    char *out = startTag(grow(2 * length + 5 + text.size()), name, length);
    for (const QChar character : text) {
        const char16_t unit = character.unicode();
        if (unit >= 0x80 || !kPlain[unit]) {
            m_bytes.truncate(start);
            escapedElement(name, text.toUtf8());
            return;
        }
        *out++ = char(unit);
    }
    endTag(out, name, length);
}

// Bytes beyond ASCII take the way through QString, so that a stored text that is not valid
// UTF-8 comes out with the same replacement characters as ever.
void MarkupWriter::utf8Element(const char *name, QByteArrayView text)
{
    const qsizetype length = qsizetype(std::strlen(name));
    if (text.isEmpty()) {
        emptyElement(name, length);
        return;
    }
    const qsizetype start = m_bytes.size();
    char *out = startTag(grow(2 * length + 5 + text.size()), name, length);
    for (const char byte : text) {
        const auto unit = static_cast<unsigned char>(byte);
        if (!kPlain[unit]) {
            m_bytes.truncate(start);
            const bool ascii = std::all_of(text.begin(), text.end(),
                [](char each) { return static_cast<unsigned char>(each) < 0x80; });
            if (ascii)
                escapedElement(name, text);
            else
                escapedElement(name, QString::fromUtf8(text).toUtf8());
            return;
        }
        *out++ = byte;
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

void MarkupWriter::emptyElement(const char *name, qsizetype length)
{
    char *out = grow(length + 3);
    *out++ = '<';
    std::memcpy(out, name, std::size_t(length));
    std::memcpy(out + length, "/>", 2);
}

void MarkupWriter::escapedElement(const char *name, QByteArrayView utf8)
{
    open(name);
    escapedUtf8(utf8);
    close(name);
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
