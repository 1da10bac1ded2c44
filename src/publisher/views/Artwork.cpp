// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/Artwork.h"

#include <QFile>
#include <QHash>
#include <QImageReader>
#include <QResource>

#include <cmath>

namespace pondrel {

// The artwork, embedded as one resource bundle (cmake/EmbeddedResources.cmake).
extern const unsigned char publisherResourceData[];

namespace Artwork {

namespace {

void ensureResources()
{
    static const bool loaded = QResource::registerResource(publisherResourceData);
    Q_UNUSED(loaded);
}

QImage render(const QString &name, const QSize &pixelSize)
{
    QImageReader reader(QStringLiteral(":/publisher/images/%1.svg").arg(name));
    reader.setScaledSize(pixelSize);
    return reader.read();
}

} // namespace

QImage image(const QString &name, const QSizeF &size, qreal devicePixelRatio)
{
    ensureResources();
    const QSize pixelSize(qMax(1, int(std::ceil(size.width() * devicePixelRatio))),
        qMax(1, int(std::ceil(size.height() * devicePixelRatio))));
    const QString key
        = QStringLiteral("%1@%2x%3").arg(name).arg(pixelSize.width()).arg(pixelSize.height());
    static QHash<QString, QImage> cache;
    const auto cached = cache.constFind(key);
    if (cached != cache.constEnd())
        return *cached;
    QImage rendered = render(name, pixelSize);
    if (!rendered.isNull())
        rendered.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, rendered);
    return rendered;
}

QImage smallImage(const QString &name, qreal devicePixelRatio)
{
    return image(name, QSizeF(smallImageSide, smallImageSide), devicePixelRatio);
}

QString credits()
{
    ensureResources();
    QFile file(QStringLiteral(":/publisher/Credits.html"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace Artwork

} // namespace pondrel
