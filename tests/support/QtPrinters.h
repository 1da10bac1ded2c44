// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

#include <ostream>

// Readable failure messages for the Qt values the support tests compare.
inline void PrintTo(const QString &text, std::ostream *stream)
{
    *stream << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QDateTime &date, std::ostream *stream)
{
    *stream << date.toString(Qt::ISODate).toStdString();
}
