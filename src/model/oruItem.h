// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace pondrel {

// The Publisher's model of one album or picture, whether a local draft or an asset of the
// service ("Local", "Remote", "Imported"). A plain value: copies are independent, and copying
// is how an item is duplicated.
class oruItem
{
public:
    static constexpr quint32 kThumbnailOptionsNotSet = 0xFFFFFFFF;
    // Added to the album's permissions for every new draft picture.
    static constexpr quint32 kDraftPicturePermissions = 28;
    static constexpr int kThumbnailSize = 100;

    // The address of an item's rendition of the given name ("Thumbnail", "Preview"); none when
    // the item has no such rendition.
    using RenditionUrlLookup
        = std::function<std::optional<QString>(const oruItem &item, const QString &renditionName)>;

    // The root or a blank item: empty texts, no flags, rating 0, orientation 1, viewTag -1,
    // thumbnail options not set.
    oruItem();

    // A new draft album: permissions 3, thumbnail options "ThumbnailFirstImage".
    static oruItem initWithEmptyAlbum();
    // A new draft picture from a local file: orientation and pixel size from its metadata, the
    // upright 100-pixel thumbnail stored (as PNG) in the shared data cache under the path. A file
    // that is no picture still gives an item, with orientation 1 and no size.
    static oruItem initWithFile(const QString &path, quint32 permissions);
    // An item from a draft record or an asset record, as a commit reads it back: every field
    // starts from zero, and a record without "RetrievalAttemptFailed" counts as failed.
    static oruItem initWithAsset(const QVariantMap &record);
    // An item from an asset record while browsing: starts as a blank item, takes "true" as the
    // only failed retrieval, and asks for its rendition addresses.
    static oruItem initWithBrowsedAsset(
        const QVariantMap &record, const RenditionUrlLookup &renditionUrlForItem);

    // The draft record of this item, with a new "UniqueIdentifier" on every call.
    QVariantMap asset() const;

    // The image properties of the file (see ImageSource); none when it is no picture.
    static std::optional<QVariantMap> exifDataForFileAtPath(const QString &path);
    static QString stringWithUUID();
    // One line per field, for the log.
    QString description() const;

    // The top of the collection: an identifier that is the empty text (not a missing one).
    bool isRoot() const;

    // The rating name of an index; an index beyond the names is "Unrated".
    static QString ratingName(quint32 rating);
    // The index of a rating name; an unknown name is logged and is 0 ("Unrated").
    static quint32 ratingIndex(const QString &name);

    const std::optional<QImage> &previewPic() const { return m_previewPic; }
    void setPreviewPic(const std::optional<QImage> &image) { m_previewPic = image; }
    const std::optional<QImage> &thumbnailPic() const { return m_thumbnailPic; }
    void setThumbnailPic(const std::optional<QImage> &image) { m_thumbnailPic = image; }
    const QString &previewURL() const { return m_previewURL; }
    void setPreviewURL(const QString &url) { m_previewURL = url; }
    const QString &thumbnailURL() const { return m_thumbnailURL; }
    void setThumbnailURL(const QString &url) { m_thumbnailURL = url; }
    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    const QString &uniqueID() const { return m_uniqueID; }
    void setUniqueID(const QString &identifier) { m_uniqueID = identifier; }
    const QString &comment() const { return m_comment; }
    void setComment(const QString &comment) { m_comment = comment; }
    bool itemDownloaded() const { return m_itemDownloaded; }
    void setItemDownloaded(bool downloaded) { m_itemDownloaded = downloaded; }
    bool isFolder() const { return m_isFolder; }
    void setIsFolder(bool folder) { m_isFolder = folder; }
    bool isDraft() const { return m_isDraft; }
    void setIsDraft(bool draft) { m_isDraft = draft; }
    bool isRemote() const { return m_isRemote; }
    void setIsRemote(bool remote) { m_isRemote = remote; }
    bool isImported() const { return m_isImported; }
    void setIsImported(bool imported) { m_isImported = imported; }
    bool isLocal() const { return m_isLocal; }
    void setIsLocal(bool local) { m_isLocal = local; }
    qint32 viewTag() const { return m_viewTag; }
    void setViewTag(qint32 tag) { m_viewTag = tag; }
    quint32 rating() const { return m_rating; }
    void setRating(quint32 rating) { m_rating = rating; }
    quint32 thumbnailOptions() const { return m_thumbnailOptions; }
    void setThumbnailOptions(quint32 options) { m_thumbnailOptions = options; }
    quint32 permissions() const { return m_permissions; }
    void setPermissions(quint32 permissions) { m_permissions = permissions; }
    // 64 bits: picture files beyond 2 GiB exist (large TIFF scans).
    qint64 fileSize() const { return m_fileSize; }
    void setFileSize(qint64 size) { m_fileSize = size; }
    qint32 pixelsWidth() const { return m_pixelsWidth; }
    void setPixelsWidth(qint32 width) { m_pixelsWidth = width; }
    qint32 pixelsHeight() const { return m_pixelsHeight; }
    void setPixelsHeight(qint32 height) { m_pixelsHeight = height; }
    quint32 orientation() const { return m_orientation; }
    void setOrientation(quint32 orientation) { m_orientation = orientation; }
    bool retrievalAttemptFailed() const { return m_retrievalAttemptFailed; }
    void setRetrievalAttemptFailed(bool failed) { m_retrievalAttemptFailed = failed; }
    bool isShared() const { return m_isShared; }
    void setIsShared(bool shared) { m_isShared = shared; }
    bool hasEmailAliases() const { return m_hasEmailAliases; }
    void setHasEmailAliases(bool has) { m_hasEmailAliases = has; }
    bool hasWebAddresses() const { return m_hasWebAddresses; }
    void setHasWebAddresses(bool has) { m_hasWebAddresses = has; }
    const QString &fullPathName() const { return m_fullPathName; }
    void setFullPathName(const QString &path) { m_fullPathName = path; }

private:
    enum class RecordReading { Commit, Browsing };

    // Everything zero, null or false.
    struct Zeroed
    {
    };
    explicit oruItem(Zeroed);

    void readRecord(const QVariantMap &record, RecordReading reading);
    void readMetadataOfFile(const QString &path);
    QVariantMap albumRecord() const;
    QVariantMap pictureRecord() const;

    std::optional<QImage> m_previewPic;
    std::optional<QImage> m_thumbnailPic;
    QString m_previewURL;
    QString m_thumbnailURL;
    QString m_name;
    QString m_uniqueID;
    QString m_comment;
    bool m_itemDownloaded = false;
    bool m_isFolder = false;
    bool m_isDraft = false;
    bool m_isRemote = false;
    bool m_isImported = false;
    bool m_isLocal = false;
    qint32 m_viewTag = 0;
    quint32 m_rating = 0;
    quint32 m_thumbnailOptions = 0;
    quint32 m_permissions = 0;
    qint64 m_fileSize = 0;
    qint32 m_pixelsWidth = 0;
    qint32 m_pixelsHeight = 0;
    quint32 m_orientation = 0;
    bool m_retrievalAttemptFailed = false;
    bool m_isShared = false;
    bool m_hasEmailAliases = false;
    bool m_hasWebAddresses = false;
    QString m_fullPathName;
};

} // namespace pondrel
