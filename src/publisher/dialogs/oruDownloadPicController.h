// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDialog>
#include <QString>
#include <QVariantList>

#include <memory>

namespace pondrel {

namespace Ui {
class DownloadPicture;
}

// The "DownloadPicture" dialog: one row per rendition of a picture (type, pixel size, file
// size); OK is enabled exactly while a row is selected.
class oruDownloadPicController : public QDialog
{
    Q_OBJECT

public:
    // Column identifiers, in the table's order.
    static inline const QStringList kColumns {"type", "dimensions", "filesize"};

    oruDownloadPicController(const QVariantList &assetRenditionList, const QString &pictureName,
        QWidget *parent = nullptr);
    ~oruDownloadPicController() override;

    // The text of a rendition record in the column of that identifier; empty for any other.
    static QString cellText(const QVariantMap &rendition, const QString &column);

    int selectedRendition() const;
    const QString &pictureName() const { return m_pictureName; }
    const QVariantList &assetRenditionList() const { return m_assetRenditionList; }

public slots:
    void accept() override;
    void cancel();

private:
    void fillTable();
    void selectionChanged();

    std::unique_ptr<Ui::DownloadPicture> m_ui;
    const QVariantList m_assetRenditionList;
    const QString m_pictureName;
};

} // namespace pondrel
