// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArrayView>
#include <QVariantMap>

#include <functional>

namespace pondrel {

// A converted reply written as indented JSON, byte for byte as QJsonDocument::toJson() writes the
// same object, but straight from the variants: a listing of ten thousand records is neither
// copied into a JSON tree nor passed through UTF-16 on its way out. The null marker and invalid
// variants are written null; other types go the way QJsonValue::fromVariant takes them.
namespace JsonText {
// Hands the text over in pieces of about a megabyte as it is written, so a listing of 100 MB of
// JSON never lies in memory whole.
void writeIndented(const QVariantMap &object, const std::function<void(QByteArrayView)> &write);
} // namespace JsonText

} // namespace pondrel
