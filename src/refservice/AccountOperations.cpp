// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/OperationContext.h"
#include "refservice/PasswordHasher.h"
#include "refservice/ServiceDates.h"
#include "refservice/ServiceFault.h"

#include <QDateTime>
#include <QRegularExpression>

namespace pondrel::refservice {

namespace {

constexpr int kMinimumPasswordLength = 6;

const QString kBadCredentials = QStringLiteral("Invalid e-mail address or password.");

QString validEmailAddress(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^[^@\\s]+@[^@\\s]+\\.[^@\\s.]+$"));
    const QString trimmed = text.trimmed();
    if (!pattern.match(trimmed).hasMatch())
        throw ServiceFault(QStringLiteral("The e-mail address %1 is not valid.").arg(trimmed));
    return trimmed;
}

void requireAcceptablePassword(const QString &password)
{
    if (password.size() < kMinimumPasswordLength)
        throw ServiceFault(QStringLiteral("The password must have at least %1 characters.")
                               .arg(kMinimumPasswordLength));
}

bool emailTaken(Database &database, const QString &email, qint64 exceptAccount)
{
    Statement query = database.prepare("SELECT 1 FROM accounts WHERE email = ?1 AND id <> ?2");
    query.bind(1, email).bind(2, exceptAccount);
    return query.step();
}

// The account of that e-mail address if the password is right; a fault that does not tell
// which of the two was wrong otherwise. Failures slow further attempts on that address down,
// whether or not it has an account.
qint64 authenticate(OperationContext &context, const QString &email, const QString &password)
{
    using pondrel::refservice::FailedAttempts;
    const QString key = FailedAttempts::accountKey(email);
    Statement query
        = context.database().prepare("SELECT id, password_salt, password_hash, "
                                     "password_iterations FROM accounts WHERE email = ?1");
    query.bind(1, email.trimmed());
    const bool known = query.step();
    const PasswordHash stored = known
        ? PasswordHash {query.blob(1), query.blob(2), int(query.integer(3))}
        : PasswordHash {};
    if (!context.passwords().verifyCounted(key, password, stored))
        throw ServiceFault(kBadCredentials);
    return query.integer(0);
}

// A changed password ends every session of the account: whoever signed on with the old one is
// out. UpdateAccount names no session of its caller, so the caller signs on again as well.
void storePassword(OperationContext &context, qint64 accountId, const QString &password)
{
    Database &database = context.database();
    const PasswordHash hashed = context.passwords().hash(password);
    database.prepare("DELETE FROM sessions WHERE account_id = ?1").bind(1, accountId).run();
    database
        .prepare("UPDATE accounts SET password_salt = ?1, password_hash = ?2, "
                 "password_iterations = ?3 WHERE id = ?4")
        .bind(1, hashed.salt)
        .bind(2, hashed.hash)
        .bind(3, qint64(hashed.iterations))
        .bind(4, accountId)
        .run();
}

void createAccount(OperationContext &context)
{
    context.requireServiceKey();
    const SoapRequest &request = context.request();
    const QString email = validEmailAddress(request.text(QStringLiteral("emailAddress")));
    const QString password = request.text(QStringLiteral("password"));
    requireAcceptablePassword(password);
    if (emailTaken(context.database(), email, 0))
        throw ServiceFault(
            QStringLiteral("An account with the e-mail address %1 already exists.").arg(email));
    QString culture = request.textOr(QStringLiteral("culture"), {}).trimmed();
    if (culture.isEmpty())
        culture = QStringLiteral("en-US");
    const PasswordHash hashed = context.passwords().hash(password);
    context.database()
        .prepare("INSERT INTO accounts (email, first_name, last_name, culture, password_salt, "
                 "password_hash, password_iterations, created) "
                 "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)")
        .bind(1, email)
        .bind(2, request.text(QStringLiteral("firstName")).trimmed())
        .bind(3, request.text(QStringLiteral("lastName")).trimmed())
        .bind(4, culture)
        .bind(5, hashed.salt)
        .bind(6, hashed.hash)
        .bind(7, qint64(hashed.iterations))
        .bind(8, ServiceDates::now())
        .run();
    context.reply().setResultText(email);
}

void signOn(OperationContext &context)
{
    context.requireServiceKey();
    const SoapRequest &request = context.request();
    const QString computer
        = OperationContext::normalizedComputer(request.text(QStringLiteral("computerIdentifier")));
    if (computer.isEmpty())
        throw ServiceFault(QStringLiteral("The computer identifier is empty."));
    const qint64 account = authenticate(context, request.text(QStringLiteral("accountIdentifier")),
        request.text(QStringLiteral("password")));
    const QString session = QString::fromLatin1(PasswordHasher::randomBytes(16).toHex());
    context.database()
        .prepare("INSERT INTO sessions (id, account_id, computer_id, created, last_used) "
                 "VALUES (?1, ?2, ?3, ?4, ?5)")
        .bind(1, session)
        .bind(2, account)
        .bind(3, computer)
        .bind(4, ServiceDates::now())
        .bind(5, QDateTime::currentSecsSinceEpoch())
        .run();
    context.reply().setResultText(session);
}

void signOff(OperationContext &context)
{
    const QString session = context.request().text(QStringLiteral("sessionIdentifier")).trimmed();
    context.database().prepare("DELETE FROM sessions WHERE id = ?1").bind(1, session).run();
    context.reply().setResultText(QStringLiteral("true"));
}

void getSessionInfo(OperationContext &context)
{
    const Session session = context.requireSession();
    Statement query = context.database().prepare(
        "SELECT a.email, s.created FROM sessions s JOIN accounts a ON a.id = s.account_id "
        "WHERE s.id = ?1");
    query.bind(1, session.identifier);
    query.step();
    pugi::xml_node info
        = SoapReply::addElement(context.reply().result(), QStringLiteral("SessionInfo"));
    SoapReply::addText(info, QStringLiteral("SessionIdentifier"), session.identifier);
    SoapReply::addText(info, QStringLiteral("AccountIdentifier"), query.text(0));
    SoapReply::addText(info, QStringLiteral("ComputerIdentifier"), session.computerId);
    SoapReply::addText(info, QStringLiteral("CreationDateUtc"), query.text(1));
    SoapReply::addText(info, QStringLiteral("LastAccessDateUtc"), ServiceDates::now());
}

void writeAccountInformation(OperationContext &context)
{
    const Session session = context.requireSession();
    Statement query = context.database().prepare(
        "SELECT email, first_name, last_name, culture, created FROM accounts WHERE id = ?1");
    query.bind(1, session.accountId);
    if (!query.step())
        throw ServiceFault(QStringLiteral("Invalid session, please sign in again."));
    pugi::xml_node information
        = SoapReply::addElement(context.reply().result(), QStringLiteral("AccountInformation"));
    pugi::xml_node info = SoapReply::addElement(information, QStringLiteral("AccountInfo"));
    SoapReply::addText(info, QStringLiteral("AccountIdentifier"), query.text(0));
    SoapReply::addText(info, QStringLiteral("FirstName"), query.text(1));
    SoapReply::addText(info, QStringLiteral("LastName"), query.text(2));
    SoapReply::addText(info, QStringLiteral("EmailAddress"), query.text(0));
    SoapReply::addText(info, QStringLiteral("Culture"), query.text(3));
    SoapReply::addText(info, QStringLiteral("CreationDateUtc"), query.text(4));
}

void updateAccount(OperationContext &context)
{
    context.requireServiceKey();
    const SoapRequest &request = context.request();
    Database &database = context.database();
    const QString password = request.text(QStringLiteral("password"));
    const qint64 account
        = authenticate(context, request.text(QStringLiteral("accountIdentifier")), password);

    const QString newEmail = request.textOr(QStringLiteral("newEmailAddress"), {}).trimmed();
    if (!newEmail.isEmpty()) {
        validEmailAddress(newEmail);
        if (emailTaken(database, newEmail, account))
            throw ServiceFault(
                QStringLiteral("An account with the e-mail address %1 already exists.")
                    .arg(newEmail));
        database.prepare("UPDATE accounts SET email = ?1 WHERE id = ?2")
            .bind(1, newEmail)
            .bind(2, account)
            .run();
    }
    const QString newPassword = request.textOr(QStringLiteral("newPassword"), {});
    // The client sends its current password as the new one when it changes nothing else.
    if (!newPassword.isEmpty() && newPassword != password) {
        requireAcceptablePassword(newPassword);
        storePassword(context, account, newPassword);
    }
    const QString newCulture = request.textOr(QStringLiteral("newCulture"), {}).trimmed();
    database
        .prepare("UPDATE accounts SET first_name = ?1, last_name = ?2, "
                 "culture = CASE WHEN ?3 = '' THEN culture ELSE ?3 END WHERE id = ?4")
        .bind(1, request.text(QStringLiteral("newFirstName")).trimmed())
        .bind(2, request.text(QStringLiteral("newLastName")).trimmed())
        .bind(3, newCulture)
        .bind(4, account)
        .run();
    context.reply().setResultText(QStringLiteral("true"));
}

} // namespace

void registerAccountOperations(OperationTable &table)
{
    table.insert(QStringLiteral("CreateAccount"), createAccount);
    table.insert(QStringLiteral("SignOn"), signOn);
    table.insert(QStringLiteral("SignOff"), signOff);
    table.insert(QStringLiteral("GetSessionInfo"), getSessionInfo);
    table.insert(QStringLiteral("GetAccountInfo"), writeAccountInformation);
    table.insert(QStringLiteral("GetAccountInfoAsTypedDataSet"), writeAccountInformation);
    table.insert(QStringLiteral("UpdateAccount"), updateAccount);
    table.insert(QStringLiteral("CheckAccount"), [](OperationContext &context) {
        context.requireServiceKey();
        Statement query = context.database().prepare("SELECT 1 FROM accounts WHERE email = ?1");
        query.bind(1, context.request().text(QStringLiteral("accountIdentifier")).trimmed());
        context.reply().setResultText(
            query.step() ? QStringLiteral("true") : QStringLiteral("false"));
    });
}

} // namespace pondrel::refservice
