// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/InfoDialogSupport.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace pondrel::InfoDialogSupport {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("InfoDialog", text);
}

} // namespace

Alert messageBoxAlert(QWidget *parent)
{
    return [parent](const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
        box.setInformativeText(QString());
        box.exec();
    };
}

void fillRatings(QComboBox &popUp)
{
    const char *const names[] = {QT_TRANSLATE_NOOP("InfoDialog", "Unrated"),
        QT_TRANSLATE_NOOP("InfoDialog", "Poor"), QT_TRANSLATE_NOOP("InfoDialog", "Fair"),
        QT_TRANSLATE_NOOP("InfoDialog", "Good"), QT_TRANSLATE_NOOP("InfoDialog", "Excellent"),
        QT_TRANSLATE_NOOP("InfoDialog", "Outstanding")};
    popUp.clear();
    quint32 rating = 0;
    for (const char *name : names)
        popUp.addItem(tr(name), rating++);
}

void fillCoverPictureOptions(QComboBox &popUp)
{
    const char *const names[] = {QT_TRANSLATE_NOOP("InfoDialog", "No cover picture"),
        QT_TRANSLATE_NOOP("InfoDialog", "First picture"),
        QT_TRANSLATE_NOOP("InfoDialog", "First pictures"),
        QT_TRANSLATE_NOOP("InfoDialog", "Last picture"),
        QT_TRANSLATE_NOOP("InfoDialog", "Last pictures")};
    popUp.clear();
    quint32 option = 0;
    for (const char *name : names)
        popUp.addItem(tr(name), option++);
}

void selectTag(QComboBox &popUp, quint32 tag)
{
    popUp.setCurrentIndex(popUp.findData(tag));
}

quint32 selectedTag(const QComboBox &popUp)
{
    return popUp.currentData().toUInt();
}

} // namespace pondrel::InfoDialogSupport
