// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruOpenPanel.h"

#include <QApplication>
#include <QFileInfo>

namespace pondrel {

oruOpenPanel::oruOpenPanel(bool foldersOnly, const QString &pictureFilter, QWidget *parent)
    : QFileDialog(parent, tr("Add Pictures"))
    , m_foldersOnly(foldersOnly)
{
    setObjectName(QStringLiteral("OpenPanel"));
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFiles);
    if (foldersOnly)
        setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    else
        setNameFilter(pictureFilter);
}

void oruOpenPanel::accept()
{
    const QStringList chosen = selectedFiles();
    const bool acceptable = !chosen.isEmpty()
        && std::all_of(chosen.cbegin(), chosen.cend(), [this](const QString &path) {
               const QFileInfo file(path);
               return file.exists() && (file.isDir() || !m_foldersOnly);
           });
    if (!acceptable) {
        QApplication::beep();
        return;
    }
    QDialog::accept();
}

} // namespace pondrel
