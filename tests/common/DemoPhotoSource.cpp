// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/DemoPhotoSource.h"

#include "publisher/views/Artwork.h"
#include "publisher/views/MUPhotoView.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>

namespace pondrel {

namespace {

enum Badge : quint8 { sharedBadge = 1, emailBadge = 2, webBadge = 4, failedBadge = 8 };

QImage drawPicture(int number)
{
    static const QSize shapes[] = {{160, 120}, {120, 160}, {150, 100}, {130, 130}, {100, 150}};
    const QSize size = shapes[number % std::size(shapes)];
    QImage picture(size, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const int hue = (number * 47) % 360;
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor::fromHsv(hue, 90, 250));
    sky.setColorAt(1, QColor::fromHsv((hue + 30) % 360, 40, 255));
    painter.fillRect(picture.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromHsv((hue + 180) % 360, 120, 255));
    painter.drawEllipse(
        QPointF(size.width() * 0.72, size.height() * 0.28), size.width() * 0.1, size.width() * 0.1);
    QPainterPath hills;
    hills.moveTo(0, size.height());
    hills.lineTo(0, size.height() * 0.65);
    hills.quadTo(size.width() * 0.3, size.height() * (0.35 + 0.05 * (number % 3)),
        size.width() * 0.6, size.height() * 0.62);
    hills.quadTo(size.width() * 0.8, size.height() * 0.75, size.width(), size.height() * 0.6);
    hills.lineTo(size.width(), size.height());
    painter.setBrush(QColor::fromHsv((hue + 100) % 360, 150, 140));
    painter.drawPath(hills);
    return picture;
}

const QStringList titleWords = {"Beach", "Holiday", "Grandma's birthday", "Hiking the ridge",
    "Snow", "Garden", "Wedding rehearsal dinner", "Lake", "Market", "Concert", "City walk",
    "First day at school"};

} // namespace

const QList<QImage> &demoPicturePool()
{
    static const QList<QImage> pool = [] {
        QList<QImage> pictures;
        for (int number = 0; number < 15; ++number)
            pictures.append(drawPicture(number));
        return pictures;
    }();
    return pool;
}

DemoPhotoSource::DemoPhotoSource(quint32 count, quint32 seed)
{
    QRandomGenerator random(seed);
    items.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        Item item;
        item.folder = random.bounded(5) == 0;
        item.picture = int(random.bounded(demoPicturePool().size()));
        const int badgeDraw = int(random.bounded(10));
        if (badgeDraw == 0)
            item.badges = failedBadge;
        else if (badgeDraw < 3)
            item.badges = sharedBadge;
        else if (badgeDraw == 3)
            item.badges = sharedBadge | emailBadge;
        else if (badgeDraw == 4)
            item.badges = webBadge;
        const QString &word = titleWords.at(int(random.bounded(titleWords.size())));
        item.title = item.folder ? word : QStringLiteral("IMG_%1 %2").arg(1000 + i).arg(word);
        items.push_back(item);
    }
}

QImage DemoPhotoSource::photoAtIndex(MUPhotoView *, quint32 index)
{
    return demoPicturePool().at(items.at(index).picture);
}

QString DemoPhotoSource::titleAtIndex(MUPhotoView *, quint32 index)
{
    return items.at(index).title;
}

bool DemoPhotoSource::isFolderAtIndex(MUPhotoView *, quint32 index)
{
    return items.at(index).folder;
}

QImage DemoPhotoSource::smallIconAtIndex(MUPhotoView *view, quint32 index)
{
    return Artwork::smallImage(
        items.at(index).folder ? QStringLiteral("folder") : QStringLiteral("photo"),
        view->devicePixelRatioF());
}

void DemoPhotoSource::attribsAtIndex(MUPhotoView *, quint32 index, bool &isShared,
    bool &emailShared, bool &webShared, bool &retrievalFailed)
{
    const quint8 badges = items.at(index).badges;
    isShared = badges & sharedBadge;
    emailShared = badges & emailBadge;
    webShared = badges & webBadge;
    retrievalFailed = badges & failedBadge;
}

void DemoPhotoSource::didSetSelectionIndexes(MUPhotoView *, const IndexSet &indexes)
{
    selection = indexes;
}

IndexSet DemoPhotoSource::willRemovePhotosAtIndexes(MUPhotoView *view, const IndexSet &indexes)
{
    for (quint32 index = indexes.lastIndex(); index != IndexSet::notFound;
         index = indexes.below(index).lastIndex()) {
        if (index < items.size())
            items.erase(items.begin() + index);
    }
    view->updateGridAndFrame();
    return {};
}

} // namespace pondrel
