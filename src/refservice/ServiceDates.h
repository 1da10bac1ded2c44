// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

namespace pondrel::refservice {

// Dates as the service writes them: ISO 8601 in UTC with an explicit offset.
namespace ServiceDates {

inline constexpr QByteArrayView kNoneUtf8 = "0001-01-01T00:00:00+00:00";
inline const QString kNone = QString::fromLatin1(kNoneUtf8);

QString format(const QDateTime &date);
QString now();
// A date text from a client, normalised; an empty text stays empty. Throws ServiceFault when
// the text is not a date.
QString normalize(const QString &text, const QString &parameterName);
// The stored text, or the "no date" text when empty.
QString orNone(const QString &stored);

} // namespace ServiceDates

} // namespace pondrel::refservice
