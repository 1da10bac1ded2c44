// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/DemoContent.h"

#include "refservice/AssetStore.h"
#include "refservice/PasswordHasher.h"
#include "refservice/Renditions.h"
#include "refservice/ServiceDates.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QUuid>

namespace pondrel::refservice {

namespace {

// Pictures are computer-made, so the demo needs no files: a sky gradient, a sun and hills in
// colours that differ per picture.
QImage paintPicture(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor sky = QColor::fromHsv((seed * 47) % 360, 120, 230);
    QLinearGradient gradient(0, 0, 0, height);
    gradient.setColorAt(0, sky.darker(130));
    gradient.setColorAt(1, sky.lighter(140));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 220, 120));
    painter.drawEllipse(
        QPointF(width * (0.2 + 0.15 * (seed % 4)), height * 0.3), height * 0.12, height * 0.12);
    painter.setBrush(QColor::fromHsv((seed * 47 + 120) % 360, 150, 120));
    painter.drawEllipse(QPointF(width * 0.3, height * 1.1), width * 0.6, height * 0.5);
    painter.setBrush(QColor::fromHsv((seed * 47 + 150) % 360, 170, 90));
    painter.drawEllipse(QPointF(width * 0.8, height * 1.15), width * 0.5, height * 0.45);
    return image;
}

QByteArray jpeg(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);
    return bytes;
}

void addRendition(Database &database, const ServiceConfig &config, const QString &pictureId,
    const QString &name, const QImage &full, int longestSide)
{
    const QImage scaled
        = full.scaled(longestSide, longestSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QByteArray bytes = jpeg(scaled);
    if (bytes.isEmpty())
        return; // no JPEG writer: the picture stays without this rendition
    const QString fileName = QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".jpg");
    QFile file(Renditions::filePath(config, fileName));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return;
    Renditions::makeReady(database,
        RenditionRow {QUuid::createUuid().toString(QUuid::WithoutBraces), pictureId, name,
            scaled.width(), scaled.height(), bytes.size(), fileName,
            QString::fromLatin1(
                QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex())});
}

AssetRow baseRow(qint64 account, const QString &parent, const QString &kind, const QString &name)
{
    AssetRow row;
    row.id = AssetStore::newIdentifier();
    row.accountId = account;
    row.parentId = parent;
    row.kind = kind;
    row.originComputer = QStringLiteral("DEMO");
    row.name = name;
    row.rating = QStringLiteral("Unrated");
    row.thumbnailOptions = QStringLiteral("ThumbnailFirstImage");
    row.permissions = 0xFFFFFFFF; // everything allowed: downloads and wallpapers
    row.created = ServiceDates::now();
    row.modified = row.created;
    return row;
}

QString addAlbum(Database &database, qint64 account, const QString &parent, const QString &name,
    const QString &description)
{
    AssetRow album = baseRow(account, parent, QStringLiteral("folder"), name);
    album.description = description;
    AssetStore::insert(database, album);
    return album.id;
}

void addPicture(Database &database, const ServiceConfig &config, qint64 account,
    const QString &album, const QString &name, int seed)
{
    const QImage full = paintPicture(1600, 1067, seed);
    AssetRow picture = baseRow(account, album, QStringLiteral("picture"), name);
    picture.mediaType = QStringLiteral("image/jpeg");
    picture.width = full.width();
    picture.height = full.height();
    picture.rotateFlip = QStringLiteral("RotateNoneFlipNone");
    picture.moniker = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    picture.fileCreated = picture.created;
    picture.fileModified = picture.created;
    picture.dateTaken = picture.created;
    AssetStore::insert(database, picture);
    addRendition(database, config, picture.id, QStringLiteral("Thumbnail"), full, 200);
    addRendition(database, config, picture.id, QStringLiteral("Preview"), full, 1024);
}

} // namespace

namespace DemoContent {

bool ensure(Database &database, const ServiceConfig &config, QString &errorMsg)
{
    const auto lock = database.lock();
    try {
        Statement existing = database.prepare("SELECT 1 FROM accounts WHERE email = ?1");
        existing.bind(1, kEmail);
        if (existing.step())
            return true;
        Transaction transaction(database);
        const PasswordHash hashed = PasswordHasher::hash(kPassword, config.passwordIterations);
        database
            .prepare("INSERT INTO accounts (email, first_name, last_name, culture, password_salt, "
                     "password_hash, password_iterations, created) "
                     "VALUES (?1, 'Demo', 'User', 'en-US', ?2, ?3, ?4, ?5)")
            .bind(1, kEmail)
            .bind(2, hashed.salt)
            .bind(3, hashed.hash)
            .bind(4, qint64(hashed.iterations))
            .bind(5, ServiceDates::now())
            .run();
        Statement id = database.prepare("SELECT last_insert_rowid()");
        id.step();
        const qint64 account = id.integer(0);
        const QString landscapes = addAlbum(database, account, {}, QStringLiteral("Landscapes"),
            QStringLiteral("Hills at every hour of the day"));
        for (int i = 0; i < 4; ++i)
            addPicture(database, config, account, landscapes,
                QStringLiteral("Hills %1.jpg").arg(i + 1), i);
        const QString travels = addAlbum(database, account, {}, QStringLiteral("Travels"), {});
        const QString summer = addAlbum(
            database, account, travels, QStringLiteral("Summer"), QStringLiteral("By the sea"));
        for (int i = 0; i < 3; ++i)
            addPicture(database, config, account, summer, QStringLiteral("Coast %1.jpg").arg(i + 1),
                10 + i);
        addPicture(database, config, account, travels, QStringLiteral("Departure.jpg"), 20);
        transaction.commit();
    } catch (const StorageError &error) {
        errorMsg = QString::fromUtf8(error.what());
        return false;
    }
    return true;
}

} // namespace DemoContent

} // namespace pondrel::refservice
