// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "tests/common/RefServiceProcess.h"
#include "tests/common/ScratchHome.h"
#include "client/oruNetwork.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace pondrel {

// A client signed on to a reference service of its own as kEmail, in a scratch home.
class SignedOnTest : public ::testing::Test
{
protected:
    static inline const QString kEmail = QStringLiteral("ann@example.com");
    static inline const QString kPassword = QStringLiteral("secret1");

    void SetUp() override
    {
        ASSERT_TRUE(m_service.start()) << m_service.errorMsg().toStdString();
        qputenv("PONDREL_SERVICE_URL", m_service.baseUrl().toUtf8());
        m_network = std::make_unique<oruNetwork>();
        ASSERT_TRUE(m_network->registerComputerIfNeeded()) << m_network->errorMsg().toStdString();
        ASSERT_TRUE(m_network->createNewAccount("Ann", "Lee", kPassword, kEmail))
            << m_network->errorMsg().toStdString();
        ASSERT_TRUE(m_network->signOn(kEmail, kPassword)) << m_network->errorMsg().toStdString();
    }
    void TearDown() override { qunsetenv("PONDREL_SERVICE_URL"); }

    // Name -> record of the assets under parent.
    QMap<QString, QVariantMap> assetsIn(const QString &parent)
    {
        QMap<QString, QVariantMap> byName;
        for (const QVariant &record : m_network->getAssets(parent).value_or(QVariantList()))
            byName.insert(record.toMap().value("Name").toString(), record.toMap());
        return byName;
    }

    ScratchHome m_home;
    RefServiceProcess m_service;
    QTemporaryDir m_files;
    std::unique_ptr<oruNetwork> m_network;
};

} // namespace pondrel
