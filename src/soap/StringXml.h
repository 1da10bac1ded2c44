// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

namespace pondrel {

// The "xml" extension of the string type: text made safe to stand as XML element content.
namespace StringXml {

// Replaces the five XML special characters by their entities, ampersands first so that the
// entities added afterwards are not escaped a second time. Everything else, non-ASCII text
// included, stays as it is.
QString xmlEncode(const QString &text);

} // namespace StringXml

} // namespace pondrel
