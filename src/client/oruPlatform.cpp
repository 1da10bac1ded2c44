// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruPlatform.h"

#include <QFile>
#include <QSysInfo>

namespace pondrel {

namespace oruPlatform {

namespace {

QString unquoted(const QString &value)
{
    if (value.size() >= 2 && value.front() == value.back()
        && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''))) {
        const QString inner = value.mid(1, value.size() - 2);
        if (value.front() == QLatin1Char('\''))
            return inner;
        QString text;
        for (qsizetype i = 0; i < inner.size(); ++i) {
            if (inner.at(i) == QLatin1Char('\\') && i + 1 < inner.size())
                ++i;
            text.append(inner.at(i));
        }
        return text;
    }
    return value;
}

} // namespace

bool isDebuggerAttached(const QString &statusPath)
{
    QFile status(statusPath);
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    static const QByteArray kTracer = QByteArrayLiteral("TracerPid:");
    while (!status.atEnd()) {
        const QByteArray line = status.readLine();
        if (line.startsWith(kTracer))
            return line.mid(kTracer.size()).trimmed().toLongLong() != 0;
    }
    return false;
}

QString prettyHostname(const QByteArray &machineInfo)
{
    static const QString kKey = QStringLiteral("PRETTY_HOSTNAME=");
    QString found;
    for (const QByteArray &rawLine : machineInfo.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith(kKey))
            found = unquoted(line.mid(kKey.size()).trimmed());
    }
    return found.trimmed();
}

QString computerName(const QString &machineInfoPath)
{
    QFile machineInfo(machineInfoPath);
    if (machineInfo.open(QIODevice::ReadOnly)) {
        const QString pretty = prettyHostname(machineInfo.readAll());
        if (!pretty.isEmpty())
            return pretty;
    }
    return QSysInfo::machineHostName();
}

} // namespace oruPlatform

} // namespace pondrel
