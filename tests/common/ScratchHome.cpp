// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ScratchHome.h"

#include <QDir>

namespace pondrel {

namespace {
const QList<QPair<QByteArray, QString>> kVariables = {
    {"HOME", QString()},
    {"XDG_CONFIG_HOME", QStringLiteral("/.config")},
    {"XDG_DATA_HOME", QStringLiteral("/.local/share")},
    {"XDG_CACHE_HOME", QStringLiteral("/.cache")},
    {"XDG_RUNTIME_DIR", QStringLiteral("/runtime")},
};
}

ScratchHome::ScratchHome()
{
    for (const auto &[name, suffix] : kVariables) {
        m_saved.append({name, qgetenv(name.constData())});
        const QString folder = m_dir.path() + suffix;
        QDir().mkpath(folder);
        qputenv(name.constData(), folder.toUtf8());
    }
    QDir().mkpath(desktop());
    QFile::setPermissions(m_dir.path() + QStringLiteral("/runtime"),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

ScratchHome::~ScratchHome()
{
    for (const auto &[name, value] : m_saved) {
        if (value.isNull())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }
}

QString ScratchHome::configHome() const
{
    return m_dir.path() + QStringLiteral("/.config");
}

QString ScratchHome::dataHome() const
{
    return m_dir.path() + QStringLiteral("/.local/share");
}

QString ScratchHome::desktop() const
{
    return m_dir.path() + QStringLiteral("/Desktop");
}

} // namespace pondrel
