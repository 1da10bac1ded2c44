// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/RequestLog.h"

#include <QDateTime>

namespace pondrel::refservice {

bool RequestLog::open(const QString &path, QString &errorMsg)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::Append | QIODevice::Text)) {
        errorMsg = m_file.errorString();
        return false;
    }
    return true;
}

void RequestLog::write(const QString &line)
{
    const std::lock_guard<std::mutex> guard(m_mutex);
    if (!m_file.isOpen())
        return;
    const QString stamped = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)
        + QLatin1Char(' ') + line + QLatin1Char('\n');
    m_file.write(stamped.toUtf8());
    m_file.flush();
}

} // namespace pondrel::refservice
