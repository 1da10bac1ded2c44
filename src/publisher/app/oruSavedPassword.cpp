// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/app/oruSavedPassword.h"

#include "support/Preferences.h"
#include "support/oruLog.h"

#include <qt6keychain/keychain.h>

namespace pondrel {

oruSavedPassword::oruSavedPassword(QObject *parent)
    : QObject(parent)
{ }

bool oruSavedPassword::secretStoreWanted()
{
    return qEnvironmentVariableIsEmpty("PONDREL_NO_SECRET_STORE");
}

void oruSavedPassword::read(const QString &user, std::function<void(const QString &)> done)
{
    const QString inFile = Preferences::shared().value(kPreferenceKey).toString();
    if (!inFile.isEmpty() || user.isEmpty() || !secretStoreWanted()) {
        done(inFile);
        return;
    }
    auto *job = new QKeychain::ReadPasswordJob(kServiceName, this);
    job->setAutoDelete(true);
    job->setKey(user);
    connect(job, &QKeychain::Job::finished, this, [done = std::move(done)](QKeychain::Job *job) {
        if (job->error() != QKeychain::NoError) {
            ORU_LOG(QStringLiteral("No saved password in the secret store: %1")
                        .arg(job->errorString()));
            done(QString());
            return;
        }
        done(static_cast<QKeychain::ReadPasswordJob *>(job)->textData());
    });
    job->start();
}

void oruSavedPassword::save(
    const QString &user, const QString &password, std::function<void(Storage)> done)
{
    if (!secretStoreWanted()) {
        Preferences::shared().setValue(kPreferenceKey, password);
        if (done)
            done(Storage::PreferencesFile);
        return;
    }
    auto *job = new QKeychain::WritePasswordJob(kServiceName, this);
    job->setAutoDelete(true);
    job->setKey(user);
    job->setTextData(password);
    connect(job, &QKeychain::Job::finished, this,
        [password, done = std::move(done)](QKeychain::Job *job) {
            const bool stored = job->error() == QKeychain::NoError;
            if (!stored)
                ORU_LOG(QStringLiteral("Secret store unavailable (%1): the password stays in "
                                       "the preferences file")
                            .arg(job->errorString()));
            Preferences::shared().setValue(kPreferenceKey, stored ? QString() : password);
            if (done)
                done(stored ? Storage::SecretStore : Storage::PreferencesFile);
        });
    job->start();
}

} // namespace pondrel
