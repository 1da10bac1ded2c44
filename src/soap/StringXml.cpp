// SPDX-License-Identifier: GPL-2.0-or-later
#include "soap/StringXml.h"

namespace pondrel {

namespace StringXml {

QString xmlEncode(const QString &text)
{
    QString encoded = text;
    encoded.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    encoded.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    encoded.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    encoded.replace(QLatin1Char('"'), QStringLiteral("&quot;"));
    encoded.replace(QLatin1Char('\''), QStringLiteral("&apos;"));
    return encoded;
}

} // namespace StringXml

} // namespace pondrel
