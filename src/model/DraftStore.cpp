// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/DraftStore.h"

namespace pondrel {

QStringList DraftStore::albumIds() const
{
    return m_albums.keys();
}

QVariantList DraftStore::records(const QString &albumId) const
{
    QVariantList list;
    const auto album = m_albums.constFind(albumId);
    if (album == m_albums.constEnd())
        return list;
    list.reserve(qsizetype(album->size()));
    for (const auto &[sequence, record] : *album)
        list.append(record);
    return list;
}

int DraftStore::numberOfItemsBeneath(const QString &albumId) const
{
    const auto album = m_albums.constFind(albumId);
    if (album == m_albums.constEnd())
        return 0;
    int count = 0;
    for (const auto &[sequence, record] : *album) {
        ++count;
        if (record.value(kKindKey).toString() == kFolderAsset)
            count += numberOfItemsBeneath(record.value(kIdentifierKey).toString());
    }
    return count;
}

void DraftStore::append(const QString &albumId, const QVariantMap &record)
{
    const QString identifier = record.value(kIdentifierKey).toString();
    if (identifier.isEmpty() || m_index.contains(identifier))
        return;
    const quint64 sequence = m_nextSequence++;
    m_albums[albumId].emplace(sequence, record);
    m_index.insert(identifier, Location {albumId, sequence});
}

std::optional<QVariantMap> DraftStore::record(const QString &draftId) const
{
    const auto location = m_index.constFind(draftId);
    if (location == m_index.constEnd())
        return std::nullopt;
    return m_albums.value(location->albumId).at(location->sequence);
}

std::optional<QString> DraftStore::albumOf(const QString &draftId) const
{
    const auto location = m_index.constFind(draftId);
    if (location == m_index.constEnd())
        return std::nullopt;
    return location->albumId;
}

bool DraftStore::isDraftAlbum(const QString &identifier) const
{
    const std::optional<QVariantMap> found = record(identifier);
    return found && found->value(kKindKey).toString() == kFolderAsset;
}

bool DraftStore::updateRecord(const QString &draftId, const QVariantMap &changes)
{
    const auto location = m_index.constFind(draftId);
    if (location == m_index.constEnd())
        return false;
    QVariantMap &stored = m_albums[location->albumId].at(location->sequence);
    for (auto change = changes.cbegin(); change != changes.cend(); ++change)
        stored.insert(change.key(), change.value());
    return true;
}

int DraftStore::remove(const QString &draftId)
{
    const auto location = m_index.constFind(draftId);
    if (location == m_index.constEnd())
        return 0;
    const Location where = *location;
    m_index.erase(location);
    Album &album = m_albums[where.albumId];
    const bool isAlbum = album.at(where.sequence).value(kKindKey).toString() == kFolderAsset;
    album.erase(where.sequence);
    dropIfEmpty(where.albumId);
    int removed = 1;
    if (!isAlbum)
        return removed;
    const auto contents = m_albums.constFind(draftId);
    if (contents == m_albums.constEnd())
        return removed;
    QStringList beneath;
    for (const auto &[sequence, record] : *contents)
        beneath.append(record.value(kIdentifierKey).toString());
    for (const QString &identifier : beneath)
        removed += remove(identifier);
    m_albums.remove(draftId);
    return removed;
}

void DraftStore::albumCreated(const QString &draftId, const QString &serviceId)
{
    const auto location = m_index.constFind(draftId);
    if (location == m_index.constEnd())
        return;
    const Location where = *location;
    m_index.erase(location);
    m_albums[where.albumId].erase(where.sequence);
    dropIfEmpty(where.albumId);
    const auto contents = m_albums.find(draftId);
    if (contents == m_albums.end())
        return;
    Album moved = std::move(*contents);
    m_albums.erase(contents);
    Album &target = m_albums[serviceId];
    for (auto &[sequence, record] : moved) {
        m_index[record.value(kIdentifierKey).toString()] = Location {serviceId, sequence};
        target.emplace(sequence, std::move(record));
    }
}

void DraftStore::pictureSent(const QString &draftId)
{
    remove(draftId);
}

void DraftStore::dropIfEmpty(const QString &albumId)
{
    const auto album = m_albums.find(albumId);
    if (album != m_albums.end() && album->empty())
        m_albums.erase(album);
}

QVariantMap DraftStore::toVariantMap() const
{
    QVariantMap map;
    for (auto album = m_albums.cbegin(); album != m_albums.cend(); ++album)
        map.insert(album.key(), records(album.key()));
    return map;
}

DraftStore DraftStore::fromVariantMap(const QVariantMap &map)
{
    DraftStore store;
    for (auto entry = map.cbegin(); entry != map.cend(); ++entry) {
        if (entry.value().typeId() != QMetaType::QVariantList)
            continue;
        for (const QVariant &member : entry.value().toList()) {
            if (member.typeId() == QMetaType::QVariantMap)
                store.append(entry.key(), member.toMap());
        }
    }
    return store;
}

} // namespace pondrel
