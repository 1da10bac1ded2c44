// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/app/NTLoginItemMgr.h"

#include "support/Paths.h"
#include "support/Preferences.h"
#include "support/oruLog.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QVariantList>

namespace pondrel {

namespace {

const QString kPathKey = QStringLiteral("Path");
const QString kHideKey = QStringLiteral("Hide");
const QString kMarkKey = QStringLiteral("X-Pondrel-LoginItem");

QVariantList readList()
{
    return Preferences::loginWindow().value(NTLoginItemMgr::kListKey).toList();
}

int indexIn(const QVariantList &list, const QString &path)
{
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).toMap().value(kPathKey).toString() == path)
            return i;
    }
    return -1;
}

QString quotedForExec(const QString &path)
{
    QString quoted = path;
    for (const QChar special : {QChar('\\'), QChar('"'), QChar('`'), QChar('$')})
        quoted.replace(special, QStringLiteral("\\") + special);
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool isOurEntry(const QString &file)
{
    const QSettings entry(file, QSettings::IniFormat);
    return entry.value(QStringLiteral("Desktop Entry/") + kMarkKey).toString()
        == QLatin1String("true");
}

void writeAutostartEntry(const QVariantMap &item)
{
    const QString path = item.value(kPathKey).toString();
    QSaveFile file(NTLoginItemMgr::autostartEntryPath(path));
    if (!Paths::ensureFolder(NTLoginItemMgr::autostartFolder())
        || !file.open(QIODevice::WriteOnly)) {
        ORU_LOG(QStringLiteral("Cannot write the autostart entry for %1").arg(path));
        return;
    }
    // Written by hand: QSettings would escape the "Desktop Entry" group name.
    const QString text
        = QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n"
                         "X-GNOME-Autostart-enabled=true\n%3=true\n"
                         "X-Pondrel-Hide=%4\n")
              .arg(QFileInfo(path).completeBaseName(), quotedForExec(path), kMarkKey,
                  item.value(kHideKey).toBool() ? QStringLiteral("true") : QStringLiteral("false"));
    file.write(text.toUtf8());
    file.commit();
}

// The autostart folder follows the list: an entry per item, and none of ours for the rest.
void mirrorToAutostart(const QVariantList &list)
{
    QStringList wanted;
    for (const QVariant &item : list) {
        writeAutostartEntry(item.toMap());
        wanted.append(NTLoginItemMgr::autostartEntryPath(item.toMap().value(kPathKey).toString()));
    }
    const QDir folder(NTLoginItemMgr::autostartFolder());
    for (const QFileInfo &entry :
        folder.entryInfoList({QStringLiteral("*.desktop")}, QDir::Files)) {
        if (!wanted.contains(entry.absoluteFilePath()) && isOurEntry(entry.absoluteFilePath()))
            QFile::remove(entry.absoluteFilePath());
    }
}

void writeList(const QVariantList &list)
{
    if (!Preferences::loginWindow().setValue(NTLoginItemMgr::kListKey, list))
        ORU_LOG(QStringLiteral("Cannot write the login items"));
    mirrorToAutostart(list);
}

} // namespace

namespace NTLoginItemMgr {

QString autostartFolder()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    return (QDir::isAbsolutePath(config) ? config
                                         : Paths::homeFolder() + QStringLiteral("/.config"))
        + QStringLiteral("/autostart");
}

QString autostartEntryPath(const QString &path)
{
    return autostartFolder() + QLatin1Char('/') + QFileInfo(path).fileName()
        + QStringLiteral(".desktop");
}

int loginIndex(const QString &path)
{
    return indexIn(readList(), path);
}

bool isLoginItem(const QString &path)
{
    return loginIndex(path) != -1;
}

void addLoginItem(const QString &path, bool hide)
{
    removeLoginItem(path);
    QVariantList list = readList();
    list.append(QVariantMap {{kHideKey, hide}, {kPathKey, path}});
    writeList(list);
}

void removeLoginItem(const QString &path)
{
    QVariantList list = readList();
    const int index = indexIn(list, path);
    if (index < 0)
        return;
    list.removeAt(index);
    writeList(list);
}

void reorderLoginItemToEnd(const QString &path, bool hide)
{
    QVariantList list = readList();
    if (indexIn(list, path) != 0)
        return;
    list.removeFirst();
    list.append(QVariantMap {{kHideKey, hide}, {kPathKey, path}});
    writeList(list);
}

} // namespace NTLoginItemMgr

} // namespace pondrel
