// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>

namespace pondrel {

// Saves one rendition of the service as a JPEG file: the request ignores cached data and gives
// up after 10 seconds; the file is replaced atomically, so a failure leaves the old file (or
// none) and never half a picture.
class PictureDownload : public QObject
{
    Q_OBJECT

public:
    static constexpr int kTimeoutMs = 10'000;

    explicit PictureDownload(QObject *parent = nullptr);
    ~PictureDownload() override;

    // downloadPicture:toFile:. One download at a time: a new one cancels the previous.
    void start(const QString &url, const QString &path);
    bool isRunning() const { return m_reply != nullptr; }

    // The bytes as a JPEG file at path. A JPEG is written as it came, so its pixels stay
    // exactly the service's; any other picture is encoded as JPEG. False, with the reason,
    // for bytes that are no complete picture or a file that cannot be written.
    static bool writeJpeg(const QByteArray &bytes, const QString &path, QString &errorMsg);

signals:
    void finished(bool saved, const QString &path, const QString &errorMsg);

private:
    void replied(QNetworkReply *reply);

    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    QString m_path;
};

} // namespace pondrel
