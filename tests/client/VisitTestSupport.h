// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

namespace pondrel {

// Helpers shared by the visit tests.
namespace VisitTestSupport {

// A landscape JPEG with a gradient, so that it compresses to something of substance.
inline bool writeJpeg(const QString &path, QSize size = QSize(800, 600))
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, QColor(x % 256, y % 256, (x + y) % 256));
    }
    return image.save(path, "JPEG", 90);
}

inline QVariantMap renderCommand(const QString &id, int width, int height, const QString &url,
    const QString &returnNames = QStringLiteral("fileSize,width,height"))
{
    return {{"type", "RenderPicture"}, {"id", id}, {"width", QString::number(width)},
        {"height", QString::number(height)}, {"cropMode", "1"},
        {"RotateFlipType", "RotateNoneFlipNone"}, {"url", url}, {"return", returnNames}};
}

inline QVariantMap batch(
    const QString &id, const QString &moniker, const QString &hash, const QVariantList &commands)
{
    return {{"UniqueIdentifier", id}, {"Moniker", moniker}, {"Hash", hash}, {"Commands", commands}};
}

// The status records of one batch status entry, in command order.
inline QVariantList commandStatuses(const QVariant &batchStatusEntry)
{
    const QVariantList parts = batchStatusEntry.toMap().value("CommandBatchStatus").toList();
    QVariantList statuses;
    if (parts.isEmpty())
        return statuses;
    for (const QVariant &entry : parts.at(0).toMap().value("CommandStatus").toList())
        statuses.append(entry.toMap().value("CommandStatus"));
    return statuses;
}

inline QString batchIdentifier(const QVariant &batchStatusEntry)
{
    const QVariantList parts = batchStatusEntry.toMap().value("CommandBatchStatus").toList();
    return parts.size() < 2 ? QString() : parts.at(1).toMap().value("UniqueIdentifier").toString();
}

} // namespace VisitTestSupport

} // namespace pondrel
