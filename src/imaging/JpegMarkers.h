// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>

namespace pondrel {

// The colour profile of a JPEG travels in APP2 segments tagged "ICC_PROFILE", split in numbered
// chunks when it is larger than one segment holds.
namespace JpegMarkers {

// The profile of a JPEG file's bytes; empty when there is none or its chunks are incomplete.
QByteArray iccProfile(const QByteArray &jpeg);

// The JPEG with the profile's segments placed after its JFIF header; the JPEG unchanged for an
// empty profile, empty when the JPEG does not start like one.
QByteArray withIccProfile(const QByteArray &jpeg, const QByteArray &profile);

} // namespace JpegMarkers

} // namespace pondrel
