// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

namespace pondrel {

// The programs started at every login. The list itself is the "loginwindow" domain's
// "AutoLaunchedApplicationDictionary": entries {"Hide", "Path"} in order, matched by the exact
// path. Each entry is mirrored as an XDG autostart entry, which is what the desktop reads;
// entries made here carry a mark so that only those are ever removed again.
namespace NTLoginItemMgr {

inline const QString kListKey = QStringLiteral("AutoLaunchedApplicationDictionary");

// -1 when the domain, the list or such an entry is missing.
int loginIndex(const QString &path);
bool isLoginItem(const QString &path);
// Any entry for path goes, then {"Hide": hide, "Path": path} is appended.
void addLoginItem(const QString &path, bool hide);
// The first entry for path goes; nothing is written when there is none.
void removeLoginItem(const QString &path);
// Only when path is the first entry: it moves to the end with the given hide flag.
void reorderLoginItemToEnd(const QString &path, bool hide);

// The XDG autostart folder and the entry that mirrors path in it.
QString autostartFolder();
QString autostartEntryPath(const QString &path);

} // namespace NTLoginItemMgr

} // namespace pondrel
