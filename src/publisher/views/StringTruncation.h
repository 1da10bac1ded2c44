// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QFont>
#include <QString>

namespace pondrel {

// Measuring text needs a font, so this one text utility lives with the views, not in support.
namespace StringExtras {

// Fits a title into maxWidth points when drawn with font: the longest prefix (from length - 2
// down to one character) that fits with "..." appended; a text that fits stays as it is.
QString stringByTruncatingStringWithAttributesForWidth(
    const QString &text, qreal maxWidth, const QFont &font);

} // namespace StringExtras

} // namespace pondrel
