// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/Values.h"

namespace pondrel {

namespace Values {

QVariant nullMarker()
{
    return QVariant::fromValue(nullptr);
}

bool isNullMarker(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<std::nullptr_t>();
}

QVariantList asList(const QVariant &recordOrList)
{
    if (recordOrList.metaType() == QMetaType::fromType<QVariantList>())
        return recordOrList.toList();
    if (recordOrList.metaType() == QMetaType::fromType<QVariantMap>())
        return {recordOrList};
    return {};
}

} // namespace Values

} // namespace pondrel
