// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace pondrel {

// Points HOME and the XDG folders at a fresh temporary folder for the lifetime of the object,
// so a test reads and writes only files of its own. The previous values come back afterwards.
class ScratchHome
{
public:
    ScratchHome();
    ~ScratchHome();
    ScratchHome(const ScratchHome &) = delete;
    ScratchHome &operator=(const ScratchHome &) = delete;

    QString path() const { return m_dir.path(); }
    QString configHome() const;
    QString dataHome() const;
    QString desktop() const;

private:
    QTemporaryDir m_dir;
    QList<QPair<QByteArray, QByteArray>> m_saved;
};

} // namespace pondrel
