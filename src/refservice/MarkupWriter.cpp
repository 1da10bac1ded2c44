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

// Whether every byte is printable ASCII other than &, < and >: what a listing's texts almost
// always are, checked eight bytes at a time.
bool isPrintableAscii(QByteArrayView text)
{
    constexpr quint64 kOnes = 0x0101010101010101ULL;
    constexpr quint64 kHighBits = 0x8080808080808080ULL;
    const auto hasByteBelow = [](quint64 word, unsigned char limit) {
        return ((word - kOnes * limit) & ~word & kHighBits) != 0;
    };
    const auto hasByte = [&](quint64 word, char byte) {
        return hasByteBelow(word ^ (kOnes * static_cast<unsigned char>(byte)), 1);
    };
    qsizetype index = 0;
    for (; index + 8 <= text.size(); index += 8) {
        quint64 word;
        std::memcpy(&word, text.data() + index, sizeof word);
        if ((word & kHighBits) != 0 || hasByteBelow(word, ' ') || hasByte(word, '&')
            || hasByte(word, '<') || hasByte(word, '>'))
            return false;
    }
    for (; index < text.size(); ++index) {
        const auto byte = static_cast<unsigned char>(text[index]);
        if (byte < ' ' || !kPlain[byte])
            return false;
    }
    return true;
}

} // namespace

void MarkupWriter::open(QByteArrayView name)
{
    startTag(grow(name.size() + 2), name);
}

void MarkupWriter::close(QByteArrayView name)
{
    endTag(grow(name.size() + 3), name);
}

// An element is written with one growth of the buffer: a listing writes hundreds of thousands.
void MarkupWriter::element(QByteArrayView name, QStringView text)
{
    if (text.isEmpty()) {
        emptyElement(name);
        return;
    }
    const qsizetype start = m_bytes.size();
    char *out = startTag(grow(2 * name.size() + 5 + text.size()), name);
    for (const QChar character : text) {
        const char16_t unit = character.unicode();
        if (unit >= 0x80 || !kPlain[unit]) {
            m_bytes.truncate(start);
            escapedElement(name, text.toUtf8());
            return;
        }
        *out++ = char(unit);
    }
    endTag(out, name);
}

// Bytes beyond ASCII take the way through QString, so that a stored text that is not valid
// UTF-8 comes out with the same replacement characters as ever.
void MarkupWriter::utf8Element(QByteArrayView name, QByteArrayView text)
{
    if (text.isEmpty()) {
        emptyElement(name);
        return;
    }
    if (!isPrintableAscii(text)) {
        const bool ascii = std::all_of(text.begin(), text.end(),
            [](char each) { return static_cast<unsigned char>(each) < 0x80; });
        if (ascii)
            escapedElement(name, text);
        else
            escapedElement(name, QString::fromUtf8(text).toUtf8());
        return;
    }
    plainElement(name, text);
}

void MarkupWriter::element(QByteArrayView name, qint64 number)
{
    char digits[24];
    const std::to_chars_result end = std::to_chars(std::begin(digits), std::end(digits), number);
    plainElement(name, QByteArrayView(digits, end.ptr - digits));
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

char *MarkupWriter::startTag(char *out, QByteArrayView name)
{
    *out++ = '<';
    std::memcpy(out, name.data(), std::size_t(name.size()));
    out[name.size()] = '>';
    return out + name.size() + 1;
}

char *MarkupWriter::endTag(char *out, QByteArrayView name)
{
    std::memcpy(out, "</", 2);
    std::memcpy(out + 2, name.data(), std::size_t(name.size()));
    out[name.size() + 2] = '>';
    return out + name.size() + 3;
}

void MarkupWriter::plainElement(QByteArrayView name, QByteArrayView text)
{
    char *out = startTag(grow(2 * name.size() + 5 + text.size()), name);
    std::memcpy(out, text.data(), std::size_t(text.size()));
    endTag(out + text.size(), name);
}

void MarkupWriter::emptyElement(QByteArrayView name)
{
    char *out = grow(name.size() + 3);
    *out++ = '<';
    std::memcpy(out, name.data(), std::size_t(name.size()));
    std::memcpy(out + name.size(), "/>", 2);
}

void MarkupWriter::escapedElement(QByteArrayView name, QByteArrayView utf8)
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
