// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/preview/PictureDownload.h"

#include "support/oruLog.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

namespace pondrel {

namespace {

bool isJpeg(const QByteArray &bytes)
{
    return bytes.startsWith("\xFF\xD8\xFF");
}

// A JPEG cut short still decodes (the rest comes out grey), so its end marker is checked too.
bool isCompleteJpeg(const QByteArray &bytes)
{
    QByteArray trimmed = bytes;
    while (trimmed.endsWith('\0') || trimmed.endsWith('\n') || trimmed.endsWith('\r'))
        trimmed.chop(1);
    return trimmed.endsWith("\xFF\xD9");
}

} // namespace

PictureDownload::PictureDownload(QObject *parent)
    : QObject(parent)
{ }

PictureDownload::~PictureDownload()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void PictureDownload::start(const QString &url, const QString &path)
{
    ORU_LOG(QStringLiteral("downloadPicture:%1 toFile:%2").arg(url, path));
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    m_path = path;
    QNetworkRequest request {QUrl(url)};
    request.setTransferTimeout(kTimeoutMs);
    request.setAttribute(
        QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply *reply = m_network.get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { replied(reply); });
}

void PictureDownload::replied(QNetworkReply *reply)
{
    m_reply = nullptr;
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QString errorMsg;
    bool saved = false;
    if (reply->error() != QNetworkReply::NoError)
        errorMsg = reply->errorString();
    else if (status < 200 || status >= 300)
        errorMsg = tr("The service answered with status %1.").arg(status);
    else
        saved = writeJpeg(reply->readAll(), m_path, errorMsg);
    if (!saved)
        ORU_LOG(QStringLiteral("Download to %1 failed: %2").arg(m_path, errorMsg));
    emit finished(saved, m_path, errorMsg);
}

bool PictureDownload::writeJpeg(const QByteArray &bytes, const QString &path, QString &errorMsg)
{
    QByteArray jpeg;
    if (isJpeg(bytes)) {
        if (!isCompleteJpeg(bytes) || QImage::fromData(bytes, "JPEG").isNull()) {
            errorMsg = tr("The picture arrived incomplete.");
            return false;
        }
        jpeg = bytes;
    } else {
        const QImage image = QImage::fromData(bytes);
        if (image.isNull()) {
            errorMsg = tr("The service sent no picture.");
            return false;
        }
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "JPEG")) {
            errorMsg = tr("The picture could not be encoded as JPEG.");
            return false;
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size() || !file.commit()) {
        errorMsg = file.errorString();
        return false;
    }
    return true;
}

} // namespace pondrel
