// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/ServiceConfig.h"

#include <QStringList>

#include <optional>

namespace pondrel::refservice {

// The command line of pondrel-refservice.
namespace ServiceOptions {

// Nothing when the arguments are wrong (errorMsg says why) or when --help/--version was
// answered (errorMsg empty).
std::optional<ServiceConfig> parse(const QStringList &arguments, QString &errorMsg);

} // namespace ServiceOptions

} // namespace pondrel::refservice
