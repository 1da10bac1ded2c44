// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/photolibrary/AlbumDataFiles.h"

#include "support/Preferences.h"
#include "support/PropertyList.h"
#include "support/oruLog.h"

#include <QFileInfo>
#include <QObject>
#include <QUrl>

namespace pondrel {

namespace {

QString localPath(const QString &urlOrPath)
{
    const QUrl url(urlOrPath);
    return url.isLocalFile() ? url.toLocalFile() : urlOrPath;
}

} // namespace

QStringList AlbumDataFiles::listedFiles()
{
    const QVariant value = Preferences::shared().value(kPreferenceKey);
    QStringList files;
    if (value.typeId() == QMetaType::QString) {
        files.append(value.toString());
        return files;
    }
    for (const QVariant &entry : value.toList()) {
        if (!entry.toString().isEmpty())
            files.append(entry.toString());
    }
    return files;
}

std::optional<PhotoLibrary> AlbumDataFiles::read(
    const QStringList &files, QList<UnavailableSource> *unavailable)
{
    ORU_LOG(QStringLiteral("iPhoto libraries: %1").arg(files.join(QStringLiteral(", "))));
    std::optional<PhotoLibrary> merged;
    for (const QString &file : files) {
        const QString path = localPath(file);
        const std::optional<QVariantMap> dictionary = PropertyList::dictionaryFromPlist(path);
        if (!dictionary) {
            const QString reason = QFileInfo::exists(path)
                ? QObject::tr("%1 is not an album data file").arg(path)
                : QObject::tr("%1 does not exist").arg(path);
            ORU_LOG(QStringLiteral("Photo library skipped: %1").arg(reason));
            if (unavailable)
                unavailable->append({QObject::tr("Album data file"), reason});
            continue;
        }
        if (!merged)
            merged.emplace();
        for (auto entry = dictionary->cbegin(); entry != dictionary->cend(); ++entry)
            merged->dictionary.insert(entry.key(), entry.value());
    }
    return merged;
}

} // namespace pondrel
