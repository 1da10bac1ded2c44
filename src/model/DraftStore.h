// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <map>
#include <optional>

namespace pondrel {

// The drafts: for each album (a service album's identifier, the empty text for the top level,
// or a draft album's identifier) the ordered draft records created in it. A value that lives
// on the main thread; workers hand their results over instead of touching it.
//
// Records are found by their "UniqueIdentifier" through an index, so removing or updating one
// of many thousands never scans the lists.
class DraftStore
{
public:
    static inline const QString kIdentifierKey = QStringLiteral("UniqueIdentifier");
    static inline const QString kKindKey = QStringLiteral("CS_AssetKind");
    static inline const QString kFolderAsset = QStringLiteral("FolderAsset");
    // Set on a draft the service refused at the last commit, with the reason.
    static inline const QString kCommitErrorKey = QStringLiteral("CS_CommitError");
    static inline const QString kRetrievalFailedKey = QStringLiteral("RetrievalAttemptFailed");

    bool isEmpty() const { return m_albums.empty(); }
    // The album identifiers that hold drafts, in key order.
    QStringList albumIds() const;
    QVariantList records(const QString &albumId) const;
    // Every record in the store (albums and pictures).
    int numberOfDraftItems() const { return int(m_index.size()); }
    // The records filed beneath an album at any depth, not counting the album itself.
    int numberOfItemsBeneath(const QString &albumId) const;

    void append(const QString &albumId, const QVariantMap &record);
    std::optional<QVariantMap> record(const QString &draftId) const;
    // The album a draft is filed in.
    std::optional<QString> albumOf(const QString &draftId) const;
    bool isDraftAlbum(const QString &identifier) const;
    // Sets the given keys of the record; false when there is no such draft.
    bool updateRecord(const QString &draftId, const QVariantMap &changes);

    // Takes the draft out, and for an album everything filed beneath it at any depth. Returns
    // how many records went.
    int remove(const QString &draftId);
    // A draft album now exists at the service as serviceId: its record goes, and what was filed
    // in it moves under serviceId, so that it is sent there (also after a restart).
    void albumCreated(const QString &draftId, const QString &serviceId);
    // A draft picture now exists at the service.
    void pictureSent(const QString &draftId);

    QVariantMap toVariantMap() const;
    // Entries that are no lists, and list members that are no records with an identifier, are
    // skipped (the file may have been edited or damaged).
    static DraftStore fromVariantMap(const QVariantMap &map);

private:
    using Album = std::map<quint64, QVariantMap>;
    struct Location
    {
        QString albumId;
        quint64 sequence;
    };

    void dropIfEmpty(const QString &albumId);

    QMap<QString, Album> m_albums;
    QHash<QString, Location> m_index;
    quint64 m_nextSequence = 0;
};

} // namespace pondrel
