// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDialog>
#include <QList>
#include <QPair>
#include <QStringList>

#include <memory>

namespace pondrel {

namespace Ui {
class PhotoLibrarySheet;
}

// The sheet that picks an album of the photo libraries: a pop-up of albums, each with its tag
// (-1 for "No Album Selected"), the "create a new album" check box, Cancel and Import. Each
// button carries a tag; only the one tagged 1 (Import) ends the sheet normally.
class oruPhotoLibrarySheet : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kNoAlbumTag = -1;
    static constexpr int kImportTag = 1;

    explicit oruPhotoLibrarySheet(QWidget *parent = nullptr);
    ~oruPhotoLibrarySheet() override;

    // Empties the pop-up down to "No Album Selected".
    void clearAlbums();
    void addAlbum(const QString &label, int tag);
    // The album texts and tags as offered, "No Album Selected" first.
    QList<QPair<QString, int>> albums() const;
    // Libraries that could not be read, one line each, shown under the pop-up.
    void setUnavailable(const QStringList &lines);

    int selectedTag() const;
    void selectTag(int tag);
    bool createsNewAlbum() const;
    void setCreatesNewAlbum(bool create);

    // A button's action: ends the sheet, normally when the sender's tag is Import's.
    void closeImportSheet(QObject *sender);

private:
    std::unique_ptr<Ui::PhotoLibrarySheet> m_ui;
};

} // namespace pondrel
