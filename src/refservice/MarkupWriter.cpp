// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/MarkupWriter.h"

#include <charconv>

namespace pondrel::refservice {

namespace {

class ByteAppender : public pugi::xml_writer
{
public:
    explicit ByteAppender(QByteArray &bytes)
        : m_bytes(bytes)
    { }
    void write(const void *data, size_t size) override
    {
        m_bytes.append(static_cast<const char *>(data), qsizetype(size));
    }

private:
    QByteArray &m_bytes;
};

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
    m_bytes.append('<').append(name).append('>');
}

void MarkupWriter::close(const char *name)
{
    m_bytes.append("</").append(name).append('>');
}

void MarkupWriter::element(const char *name, QStringView text)
{
    if (text.isEmpty()) {
        m_bytes.append('<').append(name).append("/>");
        return;
    }
    open(name);
    escaped(text);
    close(name);
}

void MarkupWriter::element(const char *name, qint64 number)
{
    char digits[24];
    const std::to_chars_result end = std::to_chars(std::begin(digits), std::end(digits), number);
    open(name);
    m_bytes.append(digits, end.ptr - digits);
    close(name);
}

void MarkupWriter::tree(const pugi::xml_node &node)
{
    ByteAppender appender(m_bytes);
    node.print(appender, "", pugi::format_raw, pugi::encoding_utf8);
}

// Most texts are plain ASCII without a special character: they are copied straight into the
// buffer, one byte per character; anything else goes the way of UTF-8.
void MarkupWriter::escaped(QStringView text)
{
    const qsizetype start = m_bytes.size();
    m_bytes.resize(start + text.size());
    char *out = m_bytes.data() + start;
    for (qsizetype index = 0; index < text.size(); ++index) {
        const char16_t character = text[index].unicode();
        if (character >= 0x80 || isSpecial(character) || character == 0) {
            m_bytes.truncate(start);
            escapedUtf8(text.toUtf8());
            return;
        }
        out[index] = char(character);
    }
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
