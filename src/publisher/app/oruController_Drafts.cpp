// SPDX-License-Identifier: GPL-2.0-or-later
// The drafts file: the drafts by album, kept between runs.
#include "publisher/app/oruController.h"

#include "support/PropertyList.h"
#include "support/oruLog.h"

namespace pondrel {

bool oruController::saveDraftAssets() const
{
    if (m_appSupportFolder.isEmpty())
        return false;
    // Drafts not read at start must not be replaced by an empty list.
    if (!m_draftsRead && m_draftAssetsByAlbum.isEmpty())
        return true;
    const QString path = m_appSupportFolder + QLatin1Char('/') + draftsFileName();
    const bool saved = PropertyList::saveToPList(m_draftAssetsByAlbum, path);
    if (!saved)
        ORU_LOG(QStringLiteral("Cannot write the drafts to %1").arg(path));
    return saved;
}

} // namespace pondrel
