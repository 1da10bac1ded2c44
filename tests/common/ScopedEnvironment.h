// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace pondrel {

// Sets an environment variable (or removes it, for a null value) while the object lives.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const QByteArray &value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    QByteArray m_name;
    QByteArray m_saved;
    bool m_wasSet;
};

// Points the deployment settings at serviceUrl with the default namespace and key, and clears
// every proxy variable, so that the desktop's settings play no part unless a test sets them.
class ServiceEnvironment
{
public:
    explicit ServiceEnvironment(const QString &serviceUrl);

private:
    std::vector<std::unique_ptr<ScopedEnvironment>> m_variables;
};

} // namespace pondrel
