// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/FileDrops.h"

#include "publisher/views/PhotoViewHost.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace pondrel {

namespace FileDrops {

bool acceptAsCopy(QDropEvent *event)
{
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void openFiles(QDropEvent *event)
{
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            PhotoViewHost::shared().openFile(url.toLocalFile());
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

} // namespace FileDrops

} // namespace pondrel
