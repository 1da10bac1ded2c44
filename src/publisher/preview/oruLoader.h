// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "publisher/preview/LoaderItem.h"

#include <QFuture>
#include <QHash>
#include <QImage>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <optional>
#include <vector>

class QNetworkReply;

namespace pondrel {

class ThumbnailStore;

// Fetches the thumbnails of the grids and the preview of the full picture view. Requests go
// through Qt's network stack asynchronously (its own thread does the I/O), so nothing here
// blocks the GUI thread; decoding a preview runs on a worker thread. Lives on the GUI thread.
//
// Thumbnails: at most four downloads at a time, the items whose cells are visible first, then
// the next screenful, then the rest, each band in list order. Answers are kept in a persistent
// HTTP cache that honours the service's validators, so a second start downloads nothing again.
class oruLoader : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxDownloads = 4;
    static constexpr int kThumbnailTimeoutMs = 60'000;
    static constexpr int kPreviewTimeoutMs = 10'000;
    static constexpr int kDraftPreviewSide = 640;
    static constexpr int kPreviewLongestSide = 4096;
    static constexpr qint64 kMaxThumbnailBytes = 4LL * 1024 * 1024;
    static constexpr qint64 kDiskCacheBytes = 500LL * 1024 * 1024;

    // An empty cacheDirectory means no disk cache.
    oruLoader(ThumbnailStore &store, const QString &cacheDirectory, QObject *parent = nullptr);
    ~oruLoader() override;

    // The HTTP cache inside the user's caches folder.
    static QString defaultCacheDirectory();

    // Stops what runs, then loads the thumbnails of the items.
    void fetch(const QList<LoaderItem> &items);
    // Stops what runs, then loads the item's preview (from the service, or from the file of a
    // draft). previewArrived carries the picture; previewFinished follows in every case.
    void downloadPreview(const LoaderItem &item);
    // Cancels the thumbnail downloads and the preview request, waits for a preview being
    // decoded to end, and returns with nothing active.
    void stop();

    // The cells now visible and the next screenful, by item key; the rest follow in list order.
    // Kept for the next fetch too, so a relisting starts where the user looks.
    void setVisibleItems(const QStringList &visibleKeys, const QStringList &nextKeys);

    bool isRunning() const { return m_dispatching || m_previewActive; }
    int runningThreads() const { return int(m_inFlight.size()); }

signals:
    void statusShown(const QString &text);
    void statusHidden();
    // Some thumbnails arrived that are on screen (any, when the visible cells were never
    // given): the grids should redraw. Coalesced, and never for cells off screen, since a
    // redraw of a full window costs far more than a thumbnail.
    void picturesNeedDisplay();
    // Every thumbnail download of the last fetch has ended.
    void thumbnailsFinished();
    void previewArrived(const QString &key, const QImage &preview);
    void previewFinished(const QString &key);

private:
    void dispatch();
    std::optional<int> nextPosition();
    void startThumbnail(const LoaderItem &item);
    void thumbnailReplied(QNetworkReply *reply);
    void endDispatchIfDone();
    void schedulePicturesDisplay(const QString &key);
    void previewReplied(QNetworkReply *reply);
    void decodePreview(std::function<QImage()> work);
    void finishPreview(const QImage &preview);
    void cancelThumbnails();
    void placeBands();
    void cancelPreview();

    ThumbnailStore &m_store;
    QNetworkAccessManager m_network;

    QList<LoaderItem> m_items;
    QHash<QString, int> m_positionOfKey;
    std::vector<bool> m_taken;
    int m_cursor = 0;
    int m_dispatched = 0;
    QStringList m_visibleKeys;
    QSet<QString> m_shownKeys;
    QStringList m_nextKeys;
    std::vector<int> m_visibleBand;
    std::vector<int> m_nextBand;
    bool m_dispatching = false;
    QHash<QNetworkReply *, LoaderItem> m_inFlight;
    bool m_displayScheduled = false;

    bool m_previewActive = false;
    QString m_previewKey;
    QNetworkReply *m_previewReply = nullptr;
    QFuture<QImage> m_previewTask;
    quint64 m_previewGeneration = 0;
};

} // namespace pondrel
