// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/DraftsFile.h"

#include "support/Paths.h"
#include "support/PropertyList.h"
#include "support/oruLog.h"

#include <QDir>
#include <QFile>

namespace pondrel::DraftsFile {

QString path()
{
    return QDir(Paths::applicationSupportFolder()).filePath(kFileName);
}

bool save(const QVariantMap &store, const QString &account, bool committing)
{
    if (store.isEmpty()) {
        QFile::remove(path());
        return !QFile::exists(path());
    }
    if (!Paths::ensureFolder(Paths::applicationSupportFolder()))
        return false;
    QVariantMap contents = store;
    contents.insert(kAccountKey, account);
    if (committing)
        contents.insert(kCommittingKey, true);
    return PropertyList::saveToPList(contents, path());
}

std::optional<Contents> load()
{
    const std::optional<QVariantMap> contents = PropertyList::dictionaryFromPlist(path());
    if (!contents) {
        if (QFile::exists(path()))
            ORU_LOG(QStringLiteral("Drafts file %1 is unreadable").arg(path()));
        return std::nullopt;
    }
    return Contents {contents->value(kAccountKey).toString(),
        DraftStore::fromVariantMap(*contents), contents->value(kCommittingKey).toBool()};
}

} // namespace pondrel::DraftsFile
