// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/JsonText.h"
#include "support/Values.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <limits>

namespace pondrel {

namespace {

// What pondrel-tool printed before: the reply turned into Qt's JSON classes and written by them.
QJsonValue throughJsonClasses(const QVariant &value)
{
    if (Values::isNullMarker(value) || !value.isValid())
        return QJsonValue::Null;
    if (value.typeId() == QMetaType::QVariantMap) {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto entry = map.cbegin(); entry != map.cend(); ++entry)
            object.insert(entry.key(), throughJsonClasses(entry.value()));
        return object;
    }
    if (value.typeId() == QMetaType::QVariantList) {
        QJsonArray array;
        for (const QVariant &element : value.toList())
            array.append(throughJsonClasses(element));
        return array;
    }
    return QJsonValue::fromVariant(value);
}

QByteArray indented(const QVariantMap &object)
{
    QByteArray json;
    JsonText::writeIndented(object, [&json](QByteArrayView piece) { json.append(piece); });
    return json;
}

} // namespace

TEST(JsonText, WritesTheBytesQtJsonWrites)
{
    const QVariantMap record {{"Name", QStringLiteral("Tab\there \"quoted\" back\\slash")},
        {"Control", QString(QChar(0x01)) + QChar(0x1f) + QChar(0x7f) + QStringLiteral("\b\f\n\r")},
        {"Unicode", QStringLiteral("été 📷 <&>")}, {"Empty", QString()},
        {"Null", Values::nullMarker()}, {"Invalid", QVariant()}, {"Yes", true}, {"No", false},
        {"Int", -42}, {"Long", qint64(1) << 53}, {"Unsigned", 4000000000U}, {"Double", 0.1},
        {"Whole", 3.0}, {"Huge", 1e300}, {"NotANumber", std::numeric_limits<double>::quiet_NaN()},
        {"Date", QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC)},
        {"EmptyList", QVariantList()}, {"EmptyMap", QVariantMap()}};
    const QVariantMap reply {
        {"GetAssetsResult",
            QVariantMap {{"Assets", QVariantList {record, record}},
                {"Nested", QVariantList {QVariantList {1, "two"}, QVariant()}}}},
        {"b", "second key"}, {"A", "capital sorts first"}};

    EXPECT_EQ(indented(reply), QJsonDocument(throughJsonClasses(reply).toObject()).toJson());
    EXPECT_EQ(indented({}), QJsonDocument(QJsonObject()).toJson());

    // A listing of megabytes comes out in pieces that join into the same bytes.
    const QVariantMap listing {{"Assets", QVariantList(5000, record)}};
    QByteArray joined;
    int pieces = 0;
    JsonText::writeIndented(listing, [&](QByteArrayView piece) {
        joined.append(piece);
        ++pieces;
    });
    EXPECT_GT(pieces, 1);
    EXPECT_EQ(joined, QJsonDocument(throughJsonClasses(listing).toObject()).toJson());
}

} // namespace pondrel
