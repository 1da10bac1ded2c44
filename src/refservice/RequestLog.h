// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QFile>
#include <QString>

#include <mutex>

namespace pondrel::refservice {

// One line per request (time, client side, method, path, operation, status) in the --log file.
// Bodies are never written: they carry passwords.
class RequestLog
{
public:
    bool open(const QString &path, QString &errorMsg);
    void write(const QString &line);

private:
    QFile m_file;
    std::mutex m_mutex;
};

} // namespace pondrel::refservice
