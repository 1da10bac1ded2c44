// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruAlertPresenter.h"

#include "support/oruLog.h"

#include <QAbstractButton>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

namespace pondrel {

namespace {

QMessageBox::Icon iconFor(oruAlertRequest::Kind kind)
{
    switch (kind) {
    case oruAlertRequest::Kind::Informational:
        return QMessageBox::Information;
    case oruAlertRequest::Kind::Warning:
        return QMessageBox::Warning;
    case oruAlertRequest::Kind::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

QString defaultAnswer(const oruAlertRequest &request)
{
    return request.buttons.value(request.defaultButton);
}

} // namespace

oruAlertPresenter::oruAlertPresenter(QObject *parent)
    : QObject(parent)
{ }

QString oruAlertPresenter::alert(oruAlertRequest::Kind kind, const QString &title,
    const QString &message, const QStringList &buttons)
{
    oruAlertRequest request;
    request.kind = kind;
    request.title = title;
    request.message = message;
    request.buttons = buttons;
    return alert(request);
}

QString oruAlertPresenter::alert(const oruAlertRequest &request)
{
    ORU_LOG(QStringLiteral("Alert \"%1\": %2").arg(request.title, request.message));
    m_alertHistory.append(request);
    const QString answer = answerAlert(request);
    emit alertShown(request.title, answer);
    return answer;
}

QString oruAlertPresenter::answerAlert(const oruAlertRequest &request)
{
    if (!m_alertAnswers.empty()) {
        const AlertAnswer answer = std::move(m_alertAnswers.front());
        m_alertAnswers.pop_front();
        const QString pressed = answer(request);
        return request.buttons.contains(pressed) ? pressed : defaultAnswer(request);
    }
    if (m_unattended)
        return defaultAnswer(request);
    return runMessageBox(request);
}

QString oruAlertPresenter::runMessageBox(const oruAlertRequest &request)
{
    QMessageBox box(
        iconFor(request.kind), request.title, request.title, QMessageBox::NoButton, m_parentWindow);
    box.setInformativeText(request.message);
    QList<QAbstractButton *> buttons;
    for (const QString &text : request.buttons) {
        // Roles only place the buttons; the answer is the text of the one pressed.
        buttons.append(box.addButton(
            text, buttons.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    }
    if (QAbstractButton *preferred = buttons.value(request.defaultButton))
        box.setDefaultButton(qobject_cast<QPushButton *>(preferred));
    box.exec();
    const int pressed = buttons.indexOf(box.clickedButton());
    return pressed < 0 ? defaultAnswer(request) : request.buttons.at(pressed);
}

int oruAlertPresenter::runDialog(QDialog &dialog)
{
    m_dialogHistory.append(dialog.objectName());
    if (m_parentWindow && dialog.parentWidget() == nullptr)
        dialog.setParent(m_parentWindow, dialog.windowFlags() | Qt::Dialog);
    const int result = answerDialog(dialog);
    emit dialogFinished(dialog.objectName(), result);
    return result;
}

int oruAlertPresenter::answerDialog(QDialog &dialog)
{
    if (!m_dialogAnswers.empty()) {
        const DialogAnswer answer = std::move(m_dialogAnswers.front());
        m_dialogAnswers.pop_front();
        bool finished = false;
        const auto connection
            = connect(&dialog, &QDialog::finished, this, [&finished] { finished = true; });
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        answer(dialog);
        disconnect(connection);
        if (!finished)
            dialog.reject();
        return dialog.result();
    }
    if (m_unattended) {
        dialog.reject();
        return QDialog::Rejected;
    }
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec();
}

void oruAlertPresenter::show(const QString &title, const QString &message)
{
    if (QThread::currentThread() == thread()) {
        alert(oruAlertRequest::Kind::Critical, title, message);
        return;
    }
    if (!m_acceptForeign) {
        oruLog::platformLog(QStringLiteral("%1 %2").arg(title, message));
        return;
    }
    // Checked again on arrival: by then the GUI thread may be waiting for this thread to end.
    QMetaObject::invokeMethod(
        this,
        [this, title, message] {
            if (m_acceptForeign)
                alert(oruAlertRequest::Kind::Critical, title, message);
            else
                oruLog::platformLog(QStringLiteral("%1 %2").arg(title, message));
        },
        Qt::BlockingQueuedConnection);
}

void oruAlertPresenter::queueAlertAnswer(const QString &buttonText)
{
    m_alertAnswers.push_back([buttonText](const oruAlertRequest &) { return buttonText; });
}

void oruAlertPresenter::queueAlertAnswer(AlertAnswer answer)
{
    m_alertAnswers.push_back(std::move(answer));
}

void oruAlertPresenter::queueDialogAnswer(DialogAnswer answer)
{
    m_dialogAnswers.push_back(std::move(answer));
}

QStringList oruAlertPresenter::alertTitles() const
{
    QStringList titles;
    for (const oruAlertRequest &request : m_alertHistory)
        titles.append(request.title);
    return titles;
}

} // namespace pondrel
