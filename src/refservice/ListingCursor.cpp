// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/ListingCursor.h"

namespace pondrel::refservice {

namespace {

constexpr int kSequenceColumn = int(AssetStore::RowColumn::Count);
constexpr int kFirstRenditionColumn = kSequenceColumn + 1;

// An asset without renditions comes once, with empty rendition columns; one with renditions
// once per rendition, in the order they are listed. Both orders come out of the indexes.
QByteArray listingQuery()
{
    return QByteArray("SELECT l.*, r.id, r.name, r.width, r.height, r.file_size FROM (SELECT ")
        + AssetStore::kRowColumns
        + ", seq FROM assets WHERE account_id = ?1 AND parent_id = ?2) l "
          "LEFT JOIN renditions r ON r.asset_id = l.id "
          "ORDER BY l.kind, l.seq, r.created, r.name"; // 'folder' sorts before 'picture'
}

} // namespace

ListingCursor::ListingCursor(Database &database, qint64 accountId, const QString &parentId)
    : m_query(database.prepare(listingQuery().constData()))
{
    m_query.bind(1, accountId).bind(2, parentId.trimmed());
}

bool ListingCursor::nextAsset()
{
    if (!m_started) {
        m_started = true;
        m_onRow = m_query.step();
    } else {
        while (onCurrentAsset())
            m_onRow = m_query.step();
    }
    if (!m_onRow)
        return false;
    m_assetSequence = sequence();
    m_renditionUnread = !m_query.isNull(kFirstRenditionColumn);
    return true;
}

bool ListingCursor::nextRendition()
{
    if (m_renditionUnread) {
        m_renditionUnread = false;
        return true;
    }
    if (!onCurrentAsset())
        return false;
    m_onRow = m_query.step();
    return onCurrentAsset();
}

bool ListingCursor::isFolder() const
{
    return text(AssetStore::RowColumn::Kind) == "folder";
}

QByteArrayView ListingCursor::text(RenditionColumn column) const
{
    return m_query.utf8(kFirstRenditionColumn + int(column));
}

qint64 ListingCursor::integer(RenditionColumn column) const
{
    return m_query.integer(kFirstRenditionColumn + int(column));
}

qint64 ListingCursor::sequence() const
{
    return m_query.integer(kSequenceColumn);
}

} // namespace pondrel::refservice
