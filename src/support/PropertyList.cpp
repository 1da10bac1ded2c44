// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/PropertyList.h"

#include "support/CHandle.h"
#include "support/oruLog.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTimeZone>

#include <plist/plist.h>

#include <memory>

namespace pondrel {

namespace {

using PlistPtr = CHandle<void, plist_free>;
using MallocText = CHandle<char, ::free>;

// Property-list dates count seconds from the start of 2001 in UTC.
const QDateTime kPlistEpoch(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);

QVariant toVariant(plist_t node);

QVariant arrayToVariant(plist_t node)
{
    QVariantList list;
    const uint32_t size = plist_array_get_size(node);
    list.reserve(size);
    for (uint32_t i = 0; i < size; ++i)
        list.append(toVariant(plist_array_get_item(node, i)));
    return list;
}

QVariant dictionaryToVariant(plist_t node)
{
    QVariantMap map;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    for (;;) {
        char *rawKey = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iterator, &rawKey, &item);
        if (!item)
            break;
        const MallocText key(rawKey);
        map.insert(QString::fromUtf8(key.get()), toVariant(item));
    }
    free(iterator);
    return map;
}

QVariant toVariant(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return qint64(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_STRING: {
        // By pointer and length: the copying getter asserts, and so ends the process, on a
        // string that holds a zero byte.
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        return QString::fromUtf8(text, text ? qsizetype(length) : 0);
    }
    case PLIST_KEY: {
        char *raw = nullptr;
        plist_get_key_val(node, &raw);
        const MallocText text(raw);
        return QString::fromUtf8(text.get());
    }
    case PLIST_DATA: {
        char *raw = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &raw, &length);
        const MallocText data(raw);
        return QByteArray(data.get(), qsizetype(length));
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        return kPlistEpoch.addMSecs(qint64(seconds) * 1000 + microseconds / 1000);
    }
    case PLIST_ARRAY:
        return arrayToVariant(node);
    case PLIST_DICT:
        return dictionaryToVariant(node);
    default:
        return {};
    }
}

plist_t fromVariant(const QVariant &value, QString *error);

plist_t listFromVariant(const QVariantList &list, QString *error)
{
    plist_t array = plist_new_array();
    for (const QVariant &item : list) {
        plist_t child = fromVariant(item, error);
        if (!child) {
            plist_free(array);
            return nullptr;
        }
        plist_array_append_item(array, child);
    }
    return array;
}

plist_t mapFromVariant(const QVariantMap &map, QString *error)
{
    plist_t dictionary = plist_new_dict();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        plist_t child = fromVariant(it.value(), error);
        if (!child) {
            plist_free(dictionary);
            return nullptr;
        }
        plist_dict_set_item(dictionary, it.key().toUtf8().constData(), child);
    }
    return dictionary;
}

plist_t fromVariant(const QVariant &value, QString *error)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
        return plist_new_uint(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QString:
        return plist_new_string(value.toString().toUtf8().constData());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), uint64_t(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const qint64 msecs = kPlistEpoch.msecsTo(value.toDateTime());
        const qint64 seconds = msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000;
        return plist_new_date(int32_t(seconds), int32_t((msecs - seconds * 1000) * 1000));
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return listFromVariant(value.toList(), error);
    case QMetaType::QVariantMap:
        return mapFromVariant(value.toMap(), error);
    default:
        if (error) {
            *error = QStringLiteral("Property list invalid for format: a value of type %1 has "
                                    "no property-list form")
                         .arg(QString::fromLatin1(
                             value.metaType().name() ? value.metaType().name() : "(none)"));
        }
        return nullptr;
    }
}

std::optional<QByteArray> readWholeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace

namespace PropertyList {

std::optional<QVariant> parse(const QByteArray &bytes, QString *error)
{
    plist_t raw = nullptr;
    // XML has no zero byte, and libplist ends the process on a key that holds one.
    const bool binary = bytes.startsWith("bplist");
    if (!bytes.isEmpty() && (binary || !bytes.contains('\0')))
        plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &raw);
    const PlistPtr root(raw);
    if (!root) {
        if (error)
            *error = QStringLiteral("Unexpected character or end of data: not a property list");
        return std::nullopt;
    }
    return toVariant(root.get());
}

std::optional<QByteArray> toXml(const QVariant &value, QString *error)
{
    const PlistPtr root(fromVariant(value, error));
    if (!root)
        return std::nullopt;
    char *raw = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &raw, &length);
    const MallocText xml(raw);
    if (!xml) {
        if (error)
            *error = QStringLiteral("The property list could not be written as XML");
        return std::nullopt;
    }
    return QByteArray(xml.get(), qsizetype(length));
}

bool saveToPList(const QVariant &arrayOrDictionary, const QString &path)
{
    QString error;
    const std::optional<QByteArray> xml = toXml(arrayOrDictionary, &error);
    if (!xml) {
        ORU_LOG(error);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(*xml) != xml->size() || !file.commit()) {
        ORU_LOG(QStringLiteral("could not write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

std::optional<QVariant> initFromPlist(const QString &path)
{
    const std::optional<QByteArray> bytes = readWholeFile(path);
    if (!bytes)
        return std::nullopt;
    QString error;
    std::optional<QVariant> value = parse(*bytes, &error);
    if (!value)
        ORU_LOG(QStringLiteral("%1: %2").arg(path, error));
    return value;
}

std::optional<QVariantMap> dictionaryFromPlist(const QString &path)
{
    const std::optional<QByteArray> bytes = readWholeFile(path);
    if (!bytes)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(*bytes);
    if (utf8.hasError())
        return std::nullopt;
    return dictionaryWithString(text);
}

std::optional<QVariantMap> dictionaryWithString(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    const std::optional<QVariant> value = parse(text.toUtf8());
    if (!value || value->metaType() != QMetaType::fromType<QVariantMap>())
        return std::nullopt;
    return value->toMap();
}

} // namespace PropertyList

} // namespace pondrel
