// SPDX-License-Identifier: GPL-2.0-or-later
#include "model/DraftCommit.h"

#include "client/oruNetwork.h"
#include "model/oruItem.h"
#include "model/oruNetwork_upload.h"
#include "support/FileManagerExtras.h"
#include "support/oruLog.h"

#include <QFileInfo>

namespace pondrel {

namespace {

const QString kLocalFileKey = QStringLiteral("CS_LocalFileName");
// The service's albums of the draft album's name under its parent before it was first sent, and
// those its namesakes among the drafts took since: any other one found there on a later attempt
// is the one that attempt created. Kept with the name they were looked up by, as a renamed
// draft has no claim on albums of its new name.
const QString kSameNamedBeforeKey = QStringLiteral("CS_SameNamedAlbumsBefore");
const QString kLookedUpNameKey = QStringLiteral("Name");
const QString kIdentifiersKey = QStringLiteral("Identifiers");

// Names and digests of pictures are compared as one text.
QString nameAndDigest(const QString &name, const QString &digest)
{
    return name + QLatin1Char('\n') + digest;
}

QString identifierOf(const QVariantMap &record)
{
    return record.value(DraftStore::kIdentifierKey).toString();
}

bool isAlbumRecord(const QVariantMap &record)
{
    return record.value(DraftStore::kKindKey).toString() == DraftStore::kFolderAsset;
}

QString nameOf(const QVariantMap &record)
{
    return record.value(QStringLiteral("Name")).toString();
}

// The pictures an album holds at the service, by name and digest.
QSet<QString> picturesAt(oruNetwork &client, const QString &albumId)
{
    QSet<QString> pictures;
    for (const QVariant &asset : client.getAssets(albumId).value_or(QVariantList())) {
        const QVariantMap record = asset.toMap();
        if (!isAlbumRecord(record))
            pictures.insert(
                nameAndDigest(nameOf(record), record.value(QStringLiteral("Hash")).toString()));
    }
    return pictures;
}

std::optional<QStringList> sameNamedBefore(const QVariantMap &record)
{
    const QVariantMap before = record.value(kSameNamedBeforeKey).toMap();
    if (before.isEmpty() || before.value(kLookedUpNameKey).toString() != nameOf(record))
        return std::nullopt;
    return before.value(kIdentifiersKey).toStringList();
}

QVariantMap sameNamedBeforeValue(const QString &name, const QStringList &identifiers)
{
    return {{kLookedUpNameKey, name},
        {kIdentifiersKey, QVariantList(identifiers.cbegin(), identifiers.cend())}};
}

// The identifiers of the albums under parent at the service with that name; nothing when the
// service cannot be asked.
std::optional<QStringList> albumsNamed(
    oruNetwork &client, const QString &parent, const QString &name)
{
    const std::optional<QVariantList> assets = client.getAssets(parent);
    if (!assets)
        return std::nullopt;
    QStringList named;
    for (const QVariant &asset : *assets) {
        const QVariantMap record = asset.toMap();
        if (isAlbumRecord(record) && nameOf(record) == name)
            named.append(identifierOf(record));
    }
    return named;
}

// The album of that name that an earlier attempt created, its answer lost on the way back: one
// found now that was not there before.
std::optional<QString> createdByLostAnswer(const QStringList &before, const QStringList &now)
{
    for (const QString &id : now) {
        if (!before.contains(id))
            return id;
    }
    return std::nullopt;
}

bool alreadySent(const QVariantMap &record, const QSet<QString> &alreadyThere)
{
    if (alreadyThere.isEmpty())
        return false;
    const QString path = FileManagerExtras::pathResolved(record.value(kLocalFileKey).toString());
    const std::optional<QString> digest = oruNetwork::sha1FromFile(path);
    return digest && alreadyThere.contains(nameAndDigest(QFileInfo(path).fileName(), *digest));
}

} // namespace

DraftCommit::ClientFactory DraftCommit::clientsLike(const oruNetwork &network)
{
    return [serviceKey = network.serviceKey(), computer = network.computerIdentifier(),
               session = network.sessionIdentifier()] {
        auto client = std::make_unique<oruNetwork>();
        client->setServiceKey(serviceKey);
        client->setComputerIdentifier(computer);
        client->setSessionIdentifier(session);
        return client;
    };
}

DraftCommit::DraftCommit(DraftStore &store, ClientFactory clientFactory, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_clientFactory(std::move(clientFactory))
{
    // Each worker spends much of its time waiting for the service, so a few more than the
    // cores keep both the disk (digests) and the service busy.
    m_pool.setMaxThreadCount(std::max(2, QThread::idealThreadCount()) * 2);
}

DraftCommit::~DraftCommit()
{
    m_pool.waitForDone();
}

bool DraftCommit::start(bool resumed)
{
    if (m_running || m_store.isEmpty())
        return false;
    m_running = true;
    m_resumed = resumed;
    m_itemCount = m_store.numberOfDraftItems();
    m_itemsDone = 0;
    m_outstanding = 0;
    m_albumsTried.clear();
    m_summary = {};
    ORU_LOG(QStringLiteral("draftAssetsByAlbum:%1").arg(m_itemCount));
    emit started(m_itemCount);
    emit draftsChanged();
    startAlbumPass();
    return true;
}

std::unique_ptr<oruNetwork> DraftCommit::takeClient()
{
    {
        const std::lock_guard lock(m_clientsMutex);
        if (!m_idleClients.empty()) {
            std::unique_ptr<oruNetwork> client = std::move(m_idleClients.back());
            m_idleClients.pop_back();
            return client;
        }
    }
    return m_clientFactory();
}

void DraftCommit::returnClient(std::unique_ptr<oruNetwork> client)
{
    const std::lock_guard lock(m_clientsMutex);
    m_idleClients.push_back(std::move(client));
}

template <typename Result>
void DraftCommit::onWorker(std::function<std::optional<Result>(oruNetwork &)> call,
    std::function<void(const std::optional<Result> &, const QString &)> done)
{
    m_pool.start([this, call = std::move(call), done = std::move(done)] {
        std::unique_ptr<oruNetwork> client = takeClient();
        const std::optional<Result> result = call(*client);
        const QString error = result ? QString() : client->errorMsg();
        returnClient(std::move(client));
        QMetaObject::invokeMethod(
            this, [done, result, error] { done(result, error); }, Qt::QueuedConnection);
    });
}

// Every album filed under an album that exists at the service (or the top level) can be
// created now; albums filed under a draft album wait for the next pass. So does a second draft
// album of the same name in the same place: one at a time, each can tell the albums its
// namesakes made from the one its own lost answer made.
void DraftCommit::startAlbumPass()
{
    std::vector<Work> albums;
    QSet<QString> placesAndNames;
    for (const QString &albumId : m_store.albumIds()) {
        if (m_store.isDraftAlbum(albumId))
            continue;
        for (const QVariant &member : m_store.records(albumId)) {
            const QVariantMap record = member.toMap();
            if (!isAlbumRecord(record) || m_albumsTried.contains(identifierOf(record)))
                continue;
            const QString placeAndName = albumId + QLatin1Char('\n') + nameOf(record);
            if (placesAndNames.contains(placeAndName))
                continue;
            placesAndNames.insert(placeAndName);
            albums.push_back(Work {albumId, record});
        }
    }
    if (albums.empty()) {
        startPictures();
        return;
    }
    for (Work &work : albums) {
        m_albumsTried.insert(identifierOf(work.record));
        ++m_outstanding;
        onWorker<QStringList>(
            [work](oruNetwork &client) {
                return albumsNamed(client, work.albumId, nameOf(work.record));
            },
            [this, work](const std::optional<QStringList> &named, const QString &error) {
                albumLookedUp(work, named, error);
            });
    }
}

// The service is asked for albums of the draft's name before the draft is first sent, and the
// answer is on disk before the album is created: should the answer of the creation be lost, or
// the Publisher end before it arrives, a later attempt can tell the album it made from those
// that were there before.
void DraftCommit::albumLookedUp(
    const Work &work, const std::optional<QStringList> &named, const QString &error)
{
    if (!named) {
        albumDone(work, std::nullopt, error);
        return;
    }
    if (const std::optional<QStringList> before = sameNamedBefore(work.record)) {
        if (const std::optional<QString> created = createdByLostAnswer(*before, *named)) {
            albumDone(work, created, QString());
            return;
        }
    } else {
        m_store.updateRecord(identifierOf(work.record),
            {{kSameNamedBeforeKey, sameNamedBeforeValue(nameOf(work.record), *named)}});
        emit draftsChanged();
    }
    onWorker<QString>(
        [this, work](oruNetwork &client) {
            if (m_waitUntilSaved)
                m_waitUntilSaved();
            const std::optional<QString> created = oruNetworkUpload::uploadFolderItem(
                client, oruItem::initWithAsset(work.record), work.albumId);
            return created && !created->isEmpty() ? created : std::nullopt;
        },
        [this, work](const std::optional<QString> &created, const QString &error) {
            albumDone(work, created, error);
        });
}

void DraftCommit::albumDone(
    const Work &work, const std::optional<QString> &createdId, const QString &error)
{
    emit progressed(++m_itemsDone, m_itemCount);
    if (createdId) {
        m_store.albumCreated(identifierOf(work.record), *createdId);
        claimedByNamesake(work, *createdId);
        ++m_summary.sent;
    } else {
        refused(work, error);
    }
    emit draftsChanged();
    if (--m_outstanding == 0)
        startAlbumPass();
}

// A draft album of the same name in the same place whose answer was lost must not take the
// album this one now stands for as its own.
void DraftCommit::claimedByNamesake(const Work &work, const QString &serviceId)
{
    for (const QVariant &member : m_store.records(work.albumId)) {
        const QVariantMap record = member.toMap();
        if (!isAlbumRecord(record) || nameOf(record) != nameOf(work.record))
            continue;
        std::optional<QStringList> before = sameNamedBefore(record);
        if (before && !before->contains(serviceId)) {
            before->append(serviceId);
            m_store.updateRecord(identifierOf(record),
                {{kSameNamedBeforeKey, sameNamedBeforeValue(nameOf(record), *before)}});
        }
    }
}

void DraftCommit::startPictures()
{
    emit picturesStarted();
    if (!m_resumed) {
        sendPictures({});
        return;
    }
    QStringList albumIds;
    for (const QString &albumId : m_store.albumIds()) {
        if (!m_store.isDraftAlbum(albumId))
            albumIds.append(albumId);
    }
    using PicturesByAlbum = QHash<QString, QSet<QString>>;
    ++m_outstanding;
    onWorker<PicturesByAlbum>(
        [albumIds](oruNetwork &client) {
            PicturesByAlbum alreadyThere;
            for (const QString &albumId : albumIds)
                alreadyThere.insert(albumId, picturesAt(client, albumId));
            return std::optional(alreadyThere);
        },
        [this](const std::optional<PicturesByAlbum> &alreadyThere, const QString &) {
            --m_outstanding;
            sendPictures(*alreadyThere);
        });
}

void DraftCommit::sendPictures(const QHash<QString, QSet<QString>> &alreadyThere)
{
    for (const QString &albumId : m_store.albumIds()) {
        // Beneath an album the service refused: nowhere to send them this time.
        if (m_store.isDraftAlbum(albumId))
            continue;
        ORU_LOG(QStringLiteral("Current album : %1").arg(albumId));
        const QSet<QString> there = alreadyThere.value(albumId);
        for (const QVariant &member : m_store.records(albumId)) {
            Work work {albumId, member.toMap()};
            if (isAlbumRecord(work.record))
                continue;
            ++m_outstanding;
            m_pool.start([this, work = std::move(work), there] {
                bool sent = alreadySent(work.record, there);
                QString error;
                if (!sent) {
                    std::unique_ptr<oruNetwork> client = takeClient();
                    sent = oruNetworkUpload::uploadPictureAsset(
                        *client, oruItem::initWithAsset(work.record), work.albumId);
                    error = sent ? QString() : client->errorMsg();
                    returnClient(std::move(client));
                }
                QMetaObject::invokeMethod(
                    this, [this, work, sent, error] { pictureDone(work, sent, error); },
                    Qt::QueuedConnection);
            });
        }
    }
    if (m_outstanding == 0)
        finish();
}

void DraftCommit::pictureDone(const Work &work, bool sent, const QString &error)
{
    emit progressed(++m_itemsDone, m_itemCount);
    if (sent) {
        m_store.pictureSent(identifierOf(work.record));
        ++m_summary.sent;
    } else {
        refused(work, error);
    }
    emit draftsChanged();
    if (--m_outstanding == 0)
        finish();
}

void DraftCommit::refused(const Work &work, const QString &error)
{
    const QString reason = oruNetwork::messageForAlert(error);
    m_store.updateRecord(identifierOf(work.record),
        {{DraftStore::kCommitErrorKey, reason},
            {DraftStore::kRetrievalFailedKey, QStringLiteral("true")}});
    m_summary.problems.append(tr("%1: %2").arg(nameOf(work.record), reason));
}

void DraftCommit::finish()
{
    m_summary.notSent = m_store.numberOfDraftItems();
    m_running = false;
    emit draftsChanged();
    emit finished(m_summary);
}

} // namespace pondrel
