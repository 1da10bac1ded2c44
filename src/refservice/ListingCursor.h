// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/AssetStore.h"
#include "refservice/Database.h"

#include <QByteArrayView>

namespace pondrel::refservice {

// The assets directly under an album (or the top level) in listing order, albums first, each
// with its renditions, read by one query and handed out as SQLite holds them: an album of ten
// thousand pictures is written without making a value per picture or per rendition.
class ListingCursor
{
public:
    enum class RenditionColumn : int { Id, Name, Width, Height, FileSize };

    ListingCursor(Database &database, qint64 accountId, const QString &parentId);

    // Moves to the next asset; false at the end.
    bool nextAsset();
    // Moves to the current asset's next rendition; false when it has no more.
    bool nextRendition();

    bool isFolder() const;
    // The current asset as a whole row.
    AssetRow row() const { return AssetStore::readRow(m_query); }
    QByteArrayView text(AssetStore::RowColumn column) const { return m_query.utf8(int(column)); }
    qint64 integer(AssetStore::RowColumn column) const { return m_query.integer(int(column)); }
    QByteArrayView text(RenditionColumn column) const;
    qint64 integer(RenditionColumn column) const;

private:
    qint64 sequence() const;
    bool onCurrentAsset() const { return m_onRow && sequence() == m_assetSequence; }

    Statement m_query;
    bool m_started = false;
    bool m_onRow = false;
    bool m_renditionUnread = false;
    qint64 m_assetSequence = 0;
};

} // namespace pondrel::refservice
