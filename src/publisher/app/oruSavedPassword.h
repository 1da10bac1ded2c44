// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace pondrel {

// The remembered sign-on password ("LastPwd"). A new one goes to the desktop's secret store
// (through QtKeychain, filed under the user name) and the preference key is emptied; when no
// secret store answers, it stays in the preference key, whose file is readable by the user
// alone. A password already in the preference key is read from there first, as older files
// keep it there. Secret-store jobs run asynchronously; results come back on this object's
// thread.
class oruSavedPassword : public QObject
{
    Q_OBJECT

public:
    enum class Storage { SecretStore, PreferencesFile };

    static inline const QString kServiceName = QStringLiteral("com.trevane.pondrel");
    static inline const QString kPreferenceKey = QStringLiteral("LastPwd");

    explicit oruSavedPassword(QObject *parent = nullptr);

    // The empty text when nothing is saved for user.
    void read(const QString &user, std::function<void(const QString &)> done);
    void save(const QString &user, const QString &password, std::function<void(Storage)> done = {});

    // False when PONDREL_NO_SECRET_STORE is set: the preference key is used as if no secret
    // store answered. For machines whose secret store must not be touched, and for tests, which
    // give every test a session bus of its own while GLib keeps the first one per process.
    static bool secretStoreWanted();
};

} // namespace pondrel
