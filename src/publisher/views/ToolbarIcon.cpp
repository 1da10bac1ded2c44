// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/ToolbarIcon.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPalette>

namespace pondrel {

namespace {

class PaletteSvgIconEngine : public QIconEngine
{
public:
    explicit PaletteSvgIconEngine(QByteArray source)
        : m_source(std::move(source))
    { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, scale));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        const QColor color = colorFor(mode);
        const QSize pixels = size * scale;
        const QString key = QStringLiteral("%1x%2/%3")
                                .arg(pixels.width())
                                .arg(pixels.height())
                                .arg(color.name(QColor::HexArgb));
        auto cached = m_cache.constFind(key);
        if (cached != m_cache.constEnd())
            return *cached;
        QPixmap rendered = render(pixels, color);
        rendered.setDevicePixelRatio(scale);
        m_cache.insert(key, rendered);
        return rendered;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine *clone() const override { return new PaletteSvgIconEngine(m_source); }
    QString key() const override { return QStringLiteral("PaletteSvgIconEngine"); }

private:
    static QColor colorFor(QIcon::Mode mode)
    {
        const QPalette palette = QApplication::palette();
        const QPalette::ColorGroup group
            = mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active;
        return palette.color(group, QPalette::ButtonText);
    }

    QPixmap render(const QSize &pixels, const QColor &color) const
    {
        QByteArray svg = m_source;
        svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
        if (color.alpha() < 255) {
            svg.replace(
                "<svg ", QStringLiteral("<svg opacity=\"%1\" ").arg(color.alphaF()).toLatin1());
        }
        QBuffer buffer(&svg);
        QImageReader reader(&buffer, "svg");
        reader.setScaledSize(pixels);
        const QImage image = reader.read();
        if (image.isNull()) {
            QPixmap empty(pixels);
            empty.fill(Qt::transparent);
            return empty;
        }
        return QPixmap::fromImage(image);
    }

    QByteArray m_source;
    QHash<QString, QPixmap> m_cache;
};

} // namespace

QIcon toolbarIcon(const QString &name)
{
    QFile file(QStringLiteral(":/publisher/images/toolbar/%1.svg").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QIcon(new PaletteSvgIconEngine(file.readAll()));
}

} // namespace pondrel
