// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "client/oruAlert.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <deque>
#include <functional>

class QDialog;
class QWidget;

namespace pondrel {

// One alert as the Publisher asks for it: the buttons in the order given, the first being the
// default one unless defaultButton says otherwise.
struct oruAlertRequest
{
    enum class Kind { Informational, Warning, Critical };

    Kind kind = Kind::Informational;
    QString title;
    QString message;
    QStringList buttons {QStringLiteral("OK")};
    int defaultButton = 0;
};

// Every alert and modal dialog of the Publisher goes through this one object, so that whoever
// drives the program (a person, or a test) answers all of them in one place. For a person it
// runs QMessageBox and QDialog::exec(); a test queues its answers beforehand, or lets the
// unattended mode answer what nobody queued, and reads the history afterwards.
//
// It is also the client library's presenter: the client's critical alerts may come from the
// service thread, which then waits until the alert has been answered on the GUI thread.
class oruAlertPresenter : public QObject, public oruAlert
{
    Q_OBJECT

public:
    // Returns the text of the button to press.
    using AlertAnswer = std::function<QString(const oruAlertRequest &)>;
    // Fills in and clicks on the dialog, which is shown (not modally) meanwhile; a dialog still
    // open when the answer returns counts as cancelled.
    using DialogAnswer = std::function<void(QDialog &)>;

    explicit oruAlertPresenter(QObject *parent = nullptr);

    // The windows alerts and dialogs are modal to.
    void setParentWindow(QWidget *window) { m_parentWindow = window; }

    // The text of the button pressed.
    QString alert(const oruAlertRequest &request);
    QString alert(oruAlertRequest::Kind kind, const QString &title, const QString &message,
        const QStringList &buttons = {QStringLiteral("OK")});
    // QDialog::Accepted or QDialog::Rejected.
    int runDialog(QDialog &dialog);

    // The client's critical alert with one "OK" button; callable from any thread.
    void show(const QString &title, const QString &message) override;
    // From now on, alerts from other threads only go to the log: the GUI thread may be waiting
    // for those threads to end.
    void stopAcceptingForeignAlerts() { m_acceptForeign = false; }

    // Answers for the next alerts and dialogs, used in order.
    void queueAlertAnswer(const QString &buttonText);
    void queueAlertAnswer(AlertAnswer answer);
    void queueDialogAnswer(DialogAnswer answer);
    // Without queued answers: alerts get their default button, dialogs are cancelled, and
    // nothing waits for a person.
    void setUnattended(bool unattended) { m_unattended = unattended; }
    bool isUnattended() const { return m_unattended; }

    const QList<oruAlertRequest> &alertHistory() const { return m_alertHistory; }
    // The object names of the dialogs run, in order.
    const QStringList &dialogHistory() const { return m_dialogHistory; }
    QStringList alertTitles() const;

signals:
    void alertShown(const QString &title, const QString &answer);
    void dialogFinished(const QString &objectName, int result);

private:
    QString answerAlert(const oruAlertRequest &request);
    QString runMessageBox(const oruAlertRequest &request);
    int answerDialog(QDialog &dialog);

    QWidget *m_parentWindow = nullptr;
    std::deque<AlertAnswer> m_alertAnswers;
    std::deque<DialogAnswer> m_dialogAnswers;
    bool m_unattended = false;
    std::atomic<bool> m_acceptForeign = true;
    QList<oruAlertRequest> m_alertHistory;
    QStringList m_dialogHistory;
};

} // namespace pondrel
