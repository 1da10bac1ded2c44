// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork.h"
#include "client/oruPlatform.h"

#include "support/Preferences.h"
#include "support/oruLog.h"

#include <QCoreApplication>

namespace pondrel {

namespace {

const char *const kLoginFailed = QT_TRANSLATE_NOOP("oruNetwork", "Login failed.");
const char *const kNoResponse = QT_TRANSLATE_NOOP("oruNetwork", "No Response from server");
const char *const kUpdateFailed = QT_TRANSLATE_NOOP("oruNetwork", "Update of the account failed.");
const char *const kCreationFailed
    = QT_TRANSLATE_NOOP("oruNetwork", "Creation of new account failed.");
const char *const kAccountInfoFailed
    = QT_TRANSLATE_NOOP("oruNetwork", "Retrieving of infos for account failed.");

// Passwords never reach the log, not even their length.
QString masked(const QString &password)
{
    return password.isEmpty() ? QStringLiteral("(none)") : QStringLiteral("********");
}

QString translated(const char *text)
{
    return QCoreApplication::translate("oruNetwork", text);
}

} // namespace

bool oruNetwork::checkComputer()
{
    return serviceKnowsComputer().value_or(false);
}

std::optional<bool> oruNetwork::serviceKnowsComputer()
{
    const QVariantMap reply
        = m_collectionServices->CheckComputer({m_serviceKey, computerIdentifierArgument()});
    ORU_LOG(QStringLiteral("CheckComputer: %1, %2").arg(m_serviceKey, m_computerIdentifier));
    if (!succeeded(reply))
        return std::nullopt;
    return reply.value(QStringLiteral("CheckComputerResult"))
               .toString()
               .compare(QLatin1String("true"), Qt::CaseInsensitive)
        == 0;
}

bool oruNetwork::registerComputer()
{
    const QString name = oruPlatform::computerName();
    m_computerIdentifier = stringWithUUID();
    return succeeded(
        m_collectionServices->RegisterComputer({m_serviceKey, m_computerIdentifier, name, name}));
}

bool oruNetwork::registerComputerIfNeeded()
{
    const QVariant stored = Preferences::shared().value(kComputerIDKey);
    m_computerIdentifier = stored.isValid() ? stored.toString() : QString();
    // Only a service that answered "no" has forgotten the workstation. Replacing the identifier
    // on a fault, a time-out or a proxy's error page would orphan the workstation's pictures and
    // pending work under the old one for good.
    const std::optional<bool> known = serviceKnowsComputer();
    if (!known) {
        ORU_LOG(QStringLiteral("CheckComputer failed, keeping %1").arg(m_computerIdentifier));
        return false;
    }
    if (*known)
        return true;
    const QString previous = m_computerIdentifier;
    if (!registerComputer()) {
        m_computerIdentifier = previous;
        return false;
    }
    if (!Preferences::shared().setValue(kComputerIDKey, m_computerIdentifier))
        ORU_FATAL(QStringLiteral("the computer identifier could not be stored"));
    return true;
}

void oruNetwork::forgetAccount()
{
    m_isLogged = false;
    m_firstName = QStringLiteral("");
    m_emailAddress = QStringLiteral("");
    m_password = QStringLiteral("");
    m_culture = QStringLiteral("");
}

bool oruNetwork::refuseSignOn(const QString &message)
{
    m_errorMsg = message;
    forgetAccount();
    displayError(translated(kLoginFailed), m_errorMsg);
    return false;
}

bool oruNetwork::signOn(const QString &accountId, const QString &password)
{
    ORU_LOG(QStringLiteral("%1, %2").arg(accountId, masked(password)));
    const QVariantMap reply = m_publishingServices->SignOn(
        {m_serviceKey, computerIdentifierArgument(), accountId, password});
    if (!succeeded(reply))
        return refuseSignOn(m_errorMsg);
    const QString session = reply.value(QStringLiteral("SignOnResult")).toString();
    if (session.isEmpty())
        return refuseSignOn(translated(kNoResponse));
    m_sessionIdentifier = session;
    // Without the account's details the client would be signed on as nobody: treat it as a
    // refused sign-on, keeping only the session the service handed out.
    const std::optional<QVariantMap> account = getAccountInfo();
    if (!account)
        return refuseSignOn(m_errorMsg);
    m_isLogged = true;
    m_firstName = account->value(QStringLiteral("FirstName")).toString();
    m_emailAddress = account->value(QStringLiteral("EmailAddress")).toString();
    m_culture = account->value(QStringLiteral("Culture")).toString();
    m_password = password;
    return true;
}

bool oruNetwork::signOff()
{
    m_publishingServices->SignOff({m_sessionIdentifier});
    setVisitTimer(nullptr);
    forgetAccount();
    return true;
}

std::optional<QVariantMap> oruNetwork::getAccountInfo()
{
    const QVariantMap reply = m_publishingServices->GetAccountInfo({m_sessionIdentifier});
    if (!succeeded(reply))
        return std::nullopt;
    const QVariant info = reply.value(QStringLiteral("GetAccountInfoResult"))
                              .toMap()
                              .value(QStringLiteral("AccountInformation"))
                              .toMap()
                              .value(QStringLiteral("AccountInfo"));
    if (info.metaType() != QMetaType::fromType<QVariantMap>()) {
        failWith(QStringLiteral("The reply carries no account information."));
        return std::nullopt;
    }
    return info.toMap();
}

bool oruNetwork::updateAccountInfo(
    const QString &newFirstName, const QString &newLastName, const QString &newPassword)
{
    ORU_LOG(QStringLiteral("newFirstName:'%1'  newLastName:'%2'  newPassword:'%3'")
                .arg(newFirstName, newLastName, masked(newPassword)));
    const QString passwordToSend = newPassword.isEmpty() ? m_password : newPassword;
    const QVariantMap reply = m_publishingServices->UpdateAccount({m_serviceKey, m_emailAddress,
        m_password, newFirstName, newLastName, m_emailAddress, passwordToSend, m_culture});
    if (!succeededOrAlert(reply, kUpdateFailed))
        return false;
    if (!newPassword.isEmpty())
        m_password = newPassword;
    return true;
}

bool oruNetwork::createNewAccount(const QString &firstName, const QString &lastName,
    const QString &password, const QString &email)
{
    ORU_LOG(QStringLiteral("firstName:'%1'  lastName:'%2'  email:'%3'  password:'%4'")
                .arg(firstName, lastName, email, masked(password)));
    const QVariantMap reply = m_publishingServices->CreateAccount(
        {m_serviceKey, firstName, lastName, email, password, QStringLiteral("en-US")});
    return succeededOrAlert(reply, kCreationFailed);
}

bool oruNetwork::getSessionInfo()
{
    return succeeded(m_publishingServices->GetSessionInfo({m_sessionIdentifier}));
}

bool oruNetwork::getAccountInfoAsTypedDataSet()
{
    return succeededOrAlert(
        m_publishingServices->GetAccountInfoAsTypedDataSet({m_sessionIdentifier, false}),
        kAccountInfoFailed);
}

} // namespace pondrel
