// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/Preferences.h"

#include "support/Paths.h"
#include "support/PropertyList.h"
#include "support/oruLog.h"

#include <QFile>
#include <QMutex>
#include <QSet>
#include <QSettings>

#include <cstdio>
#include <memory>

namespace pondrel {

namespace {

bool readPropertyList(QIODevice &device, QSettings::SettingsMap &map)
{
    const QByteArray bytes = device.readAll();
    if (bytes.trimmed().isEmpty())
        return true;
    const std::optional<QVariant> root = PropertyList::parse(bytes);
    if (!root || root->metaType() != QMetaType::fromType<QVariantMap>())
        return false;
    const QVariantMap dictionary = root->toMap();
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it)
        map.insert(it.key(), it.value());
    return true;
}

bool isUnreadable(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QSettings::SettingsMap ignored;
    return !readPropertyList(file, ignored);
}

bool writePropertyList(QIODevice &device, const QSettings::SettingsMap &map)
{
    QVariantMap dictionary;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        dictionary.insert(it.key(), it.value());
    const std::optional<QByteArray> xml = PropertyList::toXml(dictionary);
    return xml && device.write(*xml) == xml->size();
}

QSettings::Format propertyListFormat()
{
    static const QSettings::Format format
        = QSettings::registerFormat(QStringLiteral("plist"), readPropertyList, writePropertyList);
    return format;
}

QString &applicationDomainName()
{
    static QString name = Preferences::kSharedDomain;
    return name;
}

QMutex &applicationDomainLock()
{
    static QMutex lock;
    return lock;
}

// Says once per process and file that a domain file is unreadable: every lookup reads it again,
// and a line per lookup would bury everything else.
void reportUnreadable(const QString &path)
{
    static QMutex lock;
    static QSet<QString> reported;
    const QMutexLocker locker(&lock);
    if (reported.contains(path))
        return;
    reported.insert(path);
    const QByteArray line = QStringLiteral("The preferences file %1 is not a property list: it "
                                           "reads as empty, and the next change moves it aside "
                                           "to %1.corrupt\n")
                                .arg(path)
                                .toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

// QSettings keeps files it has open in a process-wide cache and notices changes made by other
// processes only on sync(), so each access opens its own object and syncs it first.
class DomainFile
{
public:
    explicit DomainFile(QString path)
        : m_path(std::move(path))
    {
        open();
        if (m_settings->status() == QSettings::FormatError)
            reportUnreadable(m_path);
    }

    QSettings &settings() { return *m_settings; }

    // Before a change: a file that cannot be read would be replaced by the change and lost, so it
    // is kept beside as ".corrupt" (as the photo database does) and the domain starts empty.
    bool prepareChange()
    {
        // QSettings says FormatError only to the first object that parses the file, so the file
        // itself is asked.
        if (!isUnreadable(m_path))
            return true;
        reportUnreadable(m_path);
        const QString aside = m_path + QStringLiteral(".corrupt");
        QFile::remove(aside);
        if (!QFile::rename(m_path, aside))
            return false;
        open();
        return m_settings->status() == QSettings::NoError;
    }

    // The atomic replacement keeps the mode of the file it replaces, so a new domain file is
    // created private first: it may carry the computer identifier and the last e-mail address.
    bool commit()
    {
        Paths::ensureFolder(Paths::preferencesFolder());
        if (!QFile::exists(m_path)) {
            QFile created(m_path);
            if (!created.open(QIODevice::WriteOnly))
                return false;
            created.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        m_settings->sync();
        return m_settings->status() == QSettings::NoError;
    }

private:
    void open()
    {
        m_settings.reset();
        m_settings = std::make_unique<QSettings>(m_path, propertyListFormat());
        m_settings->setFallbacksEnabled(false);
        m_settings->sync();
    }

    QString m_path;
    std::unique_ptr<QSettings> m_settings;
};

// A write to the shared domain may have switched "Debug": the log reads it again at once rather
// than at its next look at the file.
bool commitShared(DomainFile &file, const QString &domain)
{
    const bool written = file.commit();
    if (domain == Preferences::kSharedDomain)
        oruLog::debugSwitchChanged();
    return written;
}

QString environmentOrPreference(const char *variable, const QString &key, const QString &fallback)
{
    const QString fromEnvironment = qEnvironmentVariable(variable);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString fromPreferences = Preferences::shared().value(key).toString();
    return fromPreferences.isEmpty() ? fallback : fromPreferences;
}

} // namespace

Preferences::Preferences(QString domain)
    : m_domain(std::move(domain))
{ }

Preferences Preferences::shared()
{
    return Preferences(kSharedDomain);
}

Preferences Preferences::loginWindow()
{
    return Preferences(kLoginWindowDomain);
}

Preferences Preferences::application()
{
    const QMutexLocker locker(&applicationDomainLock());
    return Preferences(applicationDomainName());
}

void Preferences::setApplicationDomain(const QString &domain)
{
    const QMutexLocker locker(&applicationDomainLock());
    applicationDomainName() = domain;
}

QString Preferences::filePath() const
{
    return Paths::preferencesFolder() + QLatin1Char('/') + m_domain + QStringLiteral(".plist");
}

QVariant Preferences::value(const QString &key, const QVariant &fallback) const
{
    DomainFile file(filePath());
    return file.settings().value(key, fallback);
}

bool Preferences::contains(const QString &key) const
{
    DomainFile file(filePath());
    return file.settings().contains(key);
}

QVariantMap Preferences::all() const
{
    DomainFile file(filePath());
    QVariantMap entries;
    for (const QString &key : file.settings().allKeys())
        entries.insert(key, file.settings().value(key));
    return entries;
}

bool Preferences::setValue(const QString &key, const QVariant &value)
{
    DomainFile file(filePath());
    if (!file.prepareChange())
        return false;
    file.settings().setValue(key, value);
    return commitShared(file, m_domain);
}

bool Preferences::remove(const QString &key)
{
    DomainFile file(filePath());
    if (!file.prepareChange())
        return false;
    file.settings().remove(key);
    return commitShared(file, m_domain);
}

bool Preferences::clear()
{
    DomainFile file(filePath());
    if (!file.prepareChange())
        return false;
    file.settings().clear();
    return commitShared(file, m_domain);
}


namespace ServiceSettings {

QString baseUrl()
{
    return environmentOrPreference("PONDREL_SERVICE_URL", QStringLiteral("ServiceURL"),
        QStringLiteral("http://127.0.0.1:8642"));
}

QString namespaceBase()
{
    return environmentOrPreference("PONDREL_SERVICE_NAMESPACE", QStringLiteral("ServiceNamespace"),
        QStringLiteral("http://services.trevane.com"));
}

QString serviceKey()
{
    return environmentOrPreference(
        "PONDREL_SERVICE_KEY", QStringLiteral("ServiceKey"), QStringLiteral("pondrel-desktop"));
}

QString serviceKeyElement()
{
    return environmentOrPreference("PONDREL_SERVICE_KEY_ELEMENT",
        QStringLiteral("ServiceKeyElement"), QStringLiteral("serviceKey"));
}

} // namespace ServiceSettings

} // namespace pondrel
