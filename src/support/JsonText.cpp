// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/JsonText.h"

#include "support/Values.h"

#include <QJsonValue>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace pondrel {

namespace {

constexpr qsizetype kPieceSize = 1 << 20;

class Writer
{
public:
    explicit Writer(const std::function<void(QByteArrayView)> &write)
        : m_write(write)
    {
        m_json.reserve(kPieceSize + kPieceSize / 4);
    }

    void document(const QVariantMap &object)
    {
        this->object(object, 0);
        m_json.append('\n');
        m_write(m_json);
    }

private:
    void object(const QVariantMap &object, int depth)
    {
        bracketed('{', '}', object.asKeyValueRange(), depth, [&](const auto &entry) {
            quoted(entry.first);
            m_json.append(": ");
            value(entry.second, depth + 1);
        });
    }

    void list(const QVariantList &list, int depth)
    {
        bracketed('[', ']', list, depth, [&](const QVariant &item) { value(item, depth + 1); });
    }

    // Objects and arrays alike: one item to a line, indented a level deeper than the brackets.
    template <typename Items, typename WriteItem>
    void bracketed(char open, char close, const Items &items, int depth, WriteItem writeItem)
    {
        m_json.append(open).append('\n');
        bool empty = true;
        for (const auto &item : items) {
            if (!empty)
                m_json.append(",\n");
            empty = false;
            indent(depth + 1);
            writeItem(item);
        }
        if (!empty)
            m_json.append('\n');
        indent(depth);
        m_json.append(close);
        handOverFullPiece();
    }

    void handOverFullPiece()
    {
        if (m_json.size() < kPieceSize)
            return;
        m_write(m_json);
        m_json.resize(0);
    }

    void value(const QVariant &value, int depth)
    {
        switch (value.typeId()) {
        case QMetaType::QString:
            quoted(value.toString());
            return;
        case QMetaType::QVariantMap:
            object(value.toMap(), depth);
            return;
        case QMetaType::QVariantList:
            list(value.toList(), depth);
            return;
        case QMetaType::Bool:
            m_json.append(value.toBool() ? "true" : "false");
            return;
        case QMetaType::Int:
        case QMetaType::LongLong:
            m_json.append(QByteArray::number(value.toLongLong()));
            return;
        case QMetaType::Double:
            number(value.toDouble());
            return;
        default:
            break;
        }
        if (Values::isNullMarker(value) || !value.isValid()) {
            m_json.append("null");
            return;
        }
        // Rare types (dates, unsigned numbers...) in the form the JSON classes give them.
        const QVariant plain = QJsonValue::fromVariant(value).toVariant();
        if (plain.typeId() == value.typeId())
            m_json.append("null");
        else
            this->value(plain, depth);
    }

    void number(double number)
    {
        if (std::isfinite(number))
            m_json.append(QByteArray::number(number, 'g', QLocale::FloatingPointShortest));
        else
            m_json.append("null");
    }

    void indent(int depth)
    {
        static constexpr char kSpaces[] = "                                                ";
        constexpr qsizetype kMostAtOnce = qsizetype(sizeof kSpaces) - 1;
        for (qsizetype left = qsizetype(depth) * 4; left > 0; left -= kMostAtOnce)
            m_json.append(kSpaces, std::min(left, kMostAtOnce));
    }

    // JSON escapes for quotes, backslashes and control characters; everything else as UTF-8.
    void quoted(const QString &text)
    {
        m_json.append('"');
        if (!appendedPlainAscii(text))
            appendEscaped(text);
        m_json.append('"');
    }

    // Most texts of a listing are identifiers, names and numbers: ASCII that needs no escape,
    // narrowed straight into the output without a UTF-8 copy of their own.
    bool appendedPlainAscii(const QString &text)
    {
        const QChar *characters = text.constData();
        for (qsizetype index = 0; index < text.size(); ++index) {
            const char16_t character = characters[index].unicode();
            if (character < 0x20 || character >= 0x80 || character == u'"' || character == u'\\')
                return false;
        }
        const qsizetype start = m_json.size();
        m_json.resize(start + text.size());
        std::transform(characters, characters + text.size(), m_json.data() + start,
            [](QChar character) { return char(character.unicode()); });
        return true;
    }

    void appendEscaped(const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        qsizetype runStart = 0;
        for (qsizetype index = 0; index < utf8.size(); ++index) {
            const auto byte = static_cast<unsigned char>(utf8[index]);
            if (byte >= 0x20 && byte != '"' && byte != '\\')
                continue;
            m_json.append(utf8.constData() + runStart, index - runStart);
            escape(byte);
            runStart = index + 1;
        }
        m_json.append(utf8.constData() + runStart, utf8.size() - runStart);
    }

    void escape(unsigned char byte)
    {
        switch (byte) {
        case '"':
            m_json.append("\\\"");
            return;
        case '\\':
            m_json.append("\\\\");
            return;
        case '\b':
            m_json.append("\\b");
            return;
        case '\f':
            m_json.append("\\f");
            return;
        case '\n':
            m_json.append("\\n");
            return;
        case '\r':
            m_json.append("\\r");
            return;
        case '\t':
            m_json.append("\\t");
            return;
        default:
            constexpr char kHex[] = "0123456789abcdef";
            const char escaped[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xf]};
            m_json.append(escaped, qsizetype(sizeof escaped));
        }
    }

    const std::function<void(QByteArrayView)> &m_write;
    QByteArray m_json;
};

} // namespace

namespace JsonText {

void writeIndented(const QVariantMap &object, const std::function<void(QByteArrayView)> &write)
{
    Writer(write).document(object);
}

} // namespace JsonText

} // namespace pondrel
