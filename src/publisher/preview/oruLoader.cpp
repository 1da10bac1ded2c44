// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/preview/oruLoader.h"

#include "imaging/PictureTransforms.h"
#include "publisher/preview/ThumbnailStore.h"
#include "support/CSCache.h"
#include "support/Paths.h"
#include "support/oruLog.h"

#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace pondrel {

namespace {

// Grids redraw at most this often while thumbnails pour in.
constexpr int kDisplayCoalescingMs = 30;

QNetworkRequest imageRequest(const QString &url, int timeoutMs)
{
    QNetworkRequest request {QUrl(url)};
    request.setTransferTimeout(timeoutMs);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, true);
    return request;
}

bool succeeded(QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
}

QImage draftPreview(const QString &path, quint32 orientation)
{
    std::optional<Picture> picture = previewImageWithFile(path, oruLoader::kDraftPreviewSide);
    if (picture && orientation != 0)
        picture = rotateAccordingToExifOrientation(*picture, int(orientation));
    return picture ? picture->bitmap() : QImage();
}

std::vector<int> sortedPositions(const QStringList &keys, const QHash<QString, int> &positionOfKey)
{
    std::vector<int> positions;
    positions.reserve(keys.size());
    for (const QString &key : keys) {
        const auto found = positionOfKey.constFind(key);
        if (found != positionOfKey.cend())
            positions.push_back(*found);
    }
    std::sort(positions.begin(), positions.end());
    return positions;
}

} // namespace

oruLoader::oruLoader(ThumbnailStore &store, const QString &cacheDirectory, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    if (!cacheDirectory.isEmpty()) {
        auto *cache = new QNetworkDiskCache(&m_network);
        cache->setCacheDirectory(cacheDirectory);
        cache->setMaximumCacheSize(kDiskCacheBytes);
        m_network.setCache(cache);
    }
}

oruLoader::~oruLoader()
{
    // Whoever listens may be going too: a loader that goes tells nobody.
    blockSignals(true);
    stop();
}

QString oruLoader::defaultCacheDirectory()
{
    return Paths::cachesFolder() + QStringLiteral("/HTTP");
}

void oruLoader::fetch(const QList<LoaderItem> &items)
{
    stop();
    m_items = items;
    m_positionOfKey.clear();
    m_positionOfKey.reserve(items.size());
    for (int position = 0; position < items.size(); ++position)
        m_positionOfKey.insert(items.at(position).key, position);
    m_taken.assign(items.size(), false);
    placeBands();
    m_cursor = 0;
    m_dispatched = 0;
    m_dispatching = true;
    emit statusShown(tr("Getting images from server..."));
    dispatch();
}

void oruLoader::setVisibleItems(const QStringList &visibleKeys, const QStringList &nextKeys)
{
    m_visibleKeys = visibleKeys;
    m_shownKeys = QSet<QString>(visibleKeys.cbegin(), visibleKeys.cend());
    m_nextKeys = nextKeys;
    placeBands();
    if (m_dispatching)
        dispatch();
}

void oruLoader::placeBands()
{
    m_visibleBand = sortedPositions(m_visibleKeys, m_positionOfKey);
    m_nextBand = sortedPositions(m_nextKeys, m_positionOfKey);
}

void oruLoader::dispatch()
{
    while (m_dispatching && m_inFlight.size() < kMaxDownloads) {
        const std::optional<int> position = nextPosition();
        if (!position)
            break;
        m_taken[*position] = true;
        ++m_dispatched;
        startThumbnail(m_items.at(*position));
    }
    endDispatchIfDone();
}

std::optional<int> oruLoader::nextPosition()
{
    for (std::vector<int> *band : {&m_visibleBand, &m_nextBand}) {
        const auto untaken
            = std::find_if(band->begin(), band->end(), [this](int p) { return !m_taken[p]; });
        band->erase(band->begin(), untaken);
        if (!band->empty())
            return band->front();
    }
    while (m_cursor < int(m_taken.size()) && m_taken[m_cursor])
        ++m_cursor;
    if (m_cursor < int(m_taken.size()))
        return m_cursor;
    return std::nullopt;
}

void oruLoader::startThumbnail(const LoaderItem &item)
{
    if (!item.thumbnailURL.isEmpty()) {
        QNetworkReply *reply = m_network.get(imageRequest(item.thumbnailURL, kThumbnailTimeoutMs));
        m_inFlight.insert(reply, item);
        connect(reply, &QNetworkReply::finished, this, [this, reply] { thumbnailReplied(reply); });
        return;
    }
    if (item.isDraft && !item.fullPathName.isEmpty()) {
        const std::optional<QByteArray> cached
            = CSCache::sharedCache().cachedDataForKey(item.fullPathName);
        if (cached && m_store.insert(item.key, *cached, item.fullPathName)) {
            ORU_LOG(QStringLiteral("Found cached thumbnail!"));
            schedulePicturesDisplay(item.key);
        }
    }
}

void oruLoader::thumbnailReplied(QNetworkReply *reply)
{
    const LoaderItem item = m_inFlight.take(reply);
    const QString &key = item.key;
    reply->deleteLater();
    if (!succeeded(reply)) {
        ORU_LOG(QStringLiteral("Thumbnail of %1 failed: %2").arg(key, reply->errorString()));
    } else if (reply->bytesAvailable() > kMaxThumbnailBytes) {
        ORU_LOG(QStringLiteral("Thumbnail of %1 refused: %2 bytes")
                    .arg(key)
                    .arg(reply->bytesAvailable()));
    } else if (m_store.insert(key, reply->readAll(), item.thumbnailURL)) {
        schedulePicturesDisplay(key);
    } else {
        ORU_LOG(QStringLiteral("Thumbnail of %1 is no picture").arg(key));
    }
    dispatch();
}

void oruLoader::endDispatchIfDone()
{
    if (m_dispatching && m_dispatched == int(m_items.size())) {
        m_dispatching = false;
        emit statusHidden();
    }
    if (!m_dispatching && m_inFlight.isEmpty() && !m_items.isEmpty()) {
        m_items.clear();
        m_positionOfKey.clear();
        m_visibleBand.clear();
        m_nextBand.clear();
        emit thumbnailsFinished();
    }
}

void oruLoader::schedulePicturesDisplay(const QString &key)
{
    if (m_displayScheduled || (!m_shownKeys.isEmpty() && !m_shownKeys.contains(key)))
        return;
    m_displayScheduled = true;
    QTimer::singleShot(kDisplayCoalescingMs, this, [this] {
        m_displayScheduled = false;
        emit picturesNeedDisplay();
    });
}

void oruLoader::downloadPreview(const LoaderItem &item)
{
    stop();
    m_previewActive = true;
    m_previewKey = item.key;
    ORU_LOG(QStringLiteral("Name: %1").arg(item.key));
    ORU_LOG(QStringLiteral("previewURL: %1").arg(item.previewURL));
    emit statusShown(tr("Downloading preview..."));
    if (!item.thumbnailURL.isEmpty()) {
        if (item.previewURL.isEmpty()) {
            finishPreview({});
            return;
        }
        m_previewReply = m_network.get(imageRequest(item.previewURL, kPreviewTimeoutMs));
        QNetworkReply *reply = m_previewReply;
        connect(reply, &QNetworkReply::finished, this, [this, reply] { previewReplied(reply); });
    } else if (item.isDraft && !item.fullPathName.isEmpty()) {
        ORU_LOG(QStringLiteral("fullPathName: %1").arg(item.fullPathName));
        const QString path = item.fullPathName;
        const quint32 orientation = item.orientation;
        decodePreview([path, orientation] { return draftPreview(path, orientation); });
    } else {
        finishPreview({});
    }
}

void oruLoader::previewReplied(QNetworkReply *reply)
{
    m_previewReply = nullptr;
    reply->deleteLater();
    if (!succeeded(reply)) {
        ORU_LOG(QStringLiteral("Preview failed: %1").arg(reply->errorString()));
        finishPreview({});
        return;
    }
    const QByteArray bytes = reply->readAll();
    decodePreview([bytes] { return ThumbnailStore::decode(bytes, kPreviewLongestSide); });
}

void oruLoader::decodePreview(std::function<QImage()> work)
{
    const quint64 generation = ++m_previewGeneration;
    m_previewTask = QtConcurrent::run([this, generation, work = std::move(work)] {
        QImage preview = work();
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                // A stop that waited for this task has delivered its result already.
                if (generation == m_previewGeneration && m_previewTask.isValid())
                    finishPreview(m_previewTask.takeResult());
            },
            Qt::QueuedConnection);
        return preview;
    });
}

void oruLoader::finishPreview(const QImage &preview)
{
    m_previewTask = {};
    ++m_previewGeneration;
    if (!preview.isNull())
        emit previewArrived(m_previewKey, preview);
    emit statusHidden();
    m_previewActive = false;
    emit previewFinished(m_previewKey);
}

void oruLoader::stop()
{
    cancelThumbnails();
    cancelPreview();
}

void oruLoader::cancelThumbnails()
{
    const bool wasDispatching = m_dispatching;
    m_dispatching = false;
    const auto replies = m_inFlight.keys();
    m_inFlight.clear();
    for (QNetworkReply *reply : replies) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_items.clear();
    m_positionOfKey.clear();
    m_taken.clear();
    m_visibleBand.clear();
    m_nextBand.clear();
    if (wasDispatching)
        emit statusHidden();
}

void oruLoader::cancelPreview()
{
    if (!m_previewActive)
        return;
    if (m_previewReply) {
        QNetworkReply *reply = std::exchange(m_previewReply, nullptr);
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
        finishPreview({});
        return;
    }
    if (m_previewTask.isValid()) {
        m_previewTask.waitForFinished();
        finishPreview(m_previewTask.takeResult());
    }
}

} // namespace pondrel
