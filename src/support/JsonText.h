// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QVariantMap>

namespace pondrel {

// A converted reply written as indented JSON, byte for byte as QJsonDocument::toJson() writes the
// same object, but straight from the variants: a listing of ten thousand records is neither
// copied into a JSON tree nor passed through UTF-16 on its way out. The null marker and invalid
// variants are written null; other types go the way QJsonValue::fromVariant takes them.
namespace JsonText {
QByteArray indented(const QVariantMap &object);
} // namespace JsonText

} // namespace pondrel
