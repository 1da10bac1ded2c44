// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/StringExtras.h"

#include <QRegularExpression>
#include <QUrl>

namespace pondrel {

namespace StringExtras {

bool isValidEmailAddress(const QString &text)
{
    static const QRegularExpression address(
        QStringLiteral("[A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,4}"));
    return address.match(text).hasMatch();
}

bool isEmptyString(const QString &text)
{
    return text.isEmpty();
}

bool containsString(const QString &text, const QString &part)
{
    return text.contains(part, Qt::CaseSensitive);
}

QString stringByReplacingSubstring(const QString &text, const QString &from, const QString &to)
{
    if (from.isEmpty())
        return text;
    return QString(text).replace(from, to, Qt::CaseSensitive);
}

QString digitsOnly(const QString &text)
{
    QString digits;
    for (const char32_t codePoint : text.toUcs4()) {
        if (QChar::category(codePoint) == QChar::Number_DecimalDigit)
            digits.append(QString::fromUcs4(&codePoint, 1));
    }
    return digits;
}

QString urlEncode(const QString &text)
{
    static const QByteArray legalInUrl = QByteArrayLiteral("-._~:/?#[]@!$&'()*+,;=");
    return QString::fromLatin1(QUrl::toPercentEncoding(text, legalInUrl));
}

QString urlDecode(const QString &text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}

} // namespace StringExtras

} // namespace pondrel
