// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryFile>

#include <unistd.h>

namespace pondrel {

// Sends this process's standard error (where log lines go) into a temporary file while the
// object lives, so a test can read what was written.
class StandardErrorCapture
{
public:
    StandardErrorCapture()
    {
        m_file.open();
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StandardErrorCapture() { finish(); }
    StandardErrorCapture(const StandardErrorCapture &) = delete;
    StandardErrorCapture &operator=(const StandardErrorCapture &) = delete;

    // Everything written so far.
    QByteArray captured() const
    {
        QFile reader(m_file.fileName());
        reader.open(QIODevice::ReadOnly);
        return reader.readAll();
    }
    QString text() const { return QString::fromUtf8(captured()); }

    // Gives standard error back and returns what was written.
    QByteArray finish()
    {
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
            m_saved = -1;
        }
        return captured();
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};

} // namespace pondrel
