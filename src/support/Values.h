// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QVariant>

namespace pondrel {

// The service's records and the property lists are Qt variant trees. An element with neither
// children nor text becomes the null marker, which is not the same as a missing key.
namespace Values {

QVariant nullMarker();
bool isNullMarker(const QVariant &value);

// The service sends one record as a dictionary and several as a list; callers want a list.
QVariantList asList(const QVariant &recordOrList);

} // namespace Values

} // namespace pondrel
