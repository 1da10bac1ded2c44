// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace pondrel {

// One preferences domain: an XML property list named after the domain in the preferences
// folder, read and written through QSettings. Every lookup reads the file afresh, because the
// Publisher, the Agent and pondrel-tool all change the shared domain while the others run.
class Preferences
{
public:
    static inline const QString kSharedDomain = QStringLiteral("com.trevane.pondrel");
    static inline const QString kLoginWindowDomain = QStringLiteral("loginwindow");

    explicit Preferences(QString domain);

    // "com.trevane.pondrel": Debug, LastLogin, ComputerID and the Publisher's settings.
    static Preferences shared();
    static Preferences loginWindow();
    // This program's own domain ("UserAgent" and the like), as set at start-up.
    static Preferences application();
    static void setApplicationDomain(const QString &domain);

    QString domain() const { return m_domain; }
    QString filePath() const;

    QVariant value(const QString &key, const QVariant &fallback = {}) const;
    bool contains(const QString &key) const;
    QVariantMap all() const;

    // Writes go to disk before returning (atomically, mode 0600). False when the file could
    // not be written.
    bool setValue(const QString &key, const QVariant &value);
    bool remove(const QString &key);
    bool clear();

private:
    QString m_domain;
};

// The deployment settings: environment first, then the shared domain, then the built-in default.
namespace ServiceSettings {
QString baseUrl();
QString namespaceBase();
QString serviceKey();
QString serviceKeyElement();
} // namespace ServiceSettings

} // namespace pondrel
