// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/Database.h"
#include "refservice/ServiceConfig.h"

#include <QString>

namespace pondrel::refservice {

// A demo account with a few albums and generated pictures whose renditions are ready, so a
// first run of the Publisher has something to show.
namespace DemoContent {

inline const QString kEmail = QStringLiteral("demo@pondrel.example");
inline const QString kPassword = QStringLiteral("pondrel-demo");

// Creates the account and its albums unless the account exists. False on a storage failure.
bool ensure(Database &database, const ServiceConfig &config, QString &errorMsg);

} // namespace DemoContent

} // namespace pondrel::refservice
