// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruPhotoLibrarySheet.h"

#include "ui_PhotoLibrarySheet.h"

namespace pondrel {

oruPhotoLibrarySheet::oruPhotoLibrarySheet(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::PhotoLibrarySheet>())
{
    m_ui->setupUi(this);
    setWindowModality(Qt::WindowModal);
    for (QPushButton *button : {m_ui->iPhotoCancel, m_ui->iPhotoImport})
        connect(button, &QPushButton::clicked, this, [this, button] { closeImportSheet(button); });
    clearAlbums();
}

oruPhotoLibrarySheet::~oruPhotoLibrarySheet() = default;

void oruPhotoLibrarySheet::clearAlbums()
{
    m_ui->iPhotoPopUp->clear();
    m_ui->iPhotoPopUp->addItem(tr("No Album Selected"), kNoAlbumTag);
}

void oruPhotoLibrarySheet::addAlbum(const QString &label, int tag)
{
    m_ui->iPhotoPopUp->addItem(label, tag);
}

QList<QPair<QString, int>> oruPhotoLibrarySheet::albums() const
{
    QList<QPair<QString, int>> albums;
    for (int row = 0; row < m_ui->iPhotoPopUp->count(); ++row)
        albums.append({m_ui->iPhotoPopUp->itemText(row), m_ui->iPhotoPopUp->itemData(row).toInt()});
    return albums;
}

void oruPhotoLibrarySheet::setUnavailable(const QStringList &lines)
{
    m_ui->unavailableLabel->setText(lines.join(QLatin1Char('\n')));
    m_ui->unavailableLabel->setVisible(!lines.isEmpty());
}

int oruPhotoLibrarySheet::selectedTag() const
{
    const QVariant tag = m_ui->iPhotoPopUp->currentData();
    return tag.isValid() ? tag.toInt() : kNoAlbumTag;
}

void oruPhotoLibrarySheet::selectTag(int tag)
{
    m_ui->iPhotoPopUp->setCurrentIndex(m_ui->iPhotoPopUp->findData(tag));
}

bool oruPhotoLibrarySheet::createsNewAlbum() const
{
    return m_ui->iPhotoNewAlbum->isChecked();
}

void oruPhotoLibrarySheet::setCreatesNewAlbum(bool create)
{
    m_ui->iPhotoNewAlbum->setChecked(create);
}

void oruPhotoLibrarySheet::closeImportSheet(QObject *sender)
{
    if (sender && sender->property("tag").toInt() == kImportTag)
        accept();
    else
        reject();
}

} // namespace pondrel
