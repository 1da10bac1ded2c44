// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/StringTruncation.h"

#include <QFontMetricsF>

namespace pondrel::StringExtras {

QString stringByTruncatingStringWithAttributesForWidth(
    const QString &text, qreal maxWidth, const QFont &font)
{
    const QFontMetricsF metrics(font);
    if (metrics.horizontalAdvance(text) <= maxWidth)
        return text;
    const QString ellipsis = QStringLiteral("...");
    QString candidate;
    for (qsizetype length = text.size() - 2; length >= 1; --length) {
        candidate = text.left(length) + ellipsis;
        if (metrics.horizontalAdvance(candidate) <= maxWidth)
            return candidate;
    }
    return text.isEmpty() ? text : text.left(1) + ellipsis;
}

} // namespace pondrel::StringExtras
