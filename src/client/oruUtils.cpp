// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruUtils.h"

#include "support/oruLog.h"

#include <array>

namespace pondrel {

namespace {

// Indexed by orientation; 0 is the service's "leave the picture as stored".
const std::array<QString, 9> &rotateModeNames()
{
    static const std::array<QString, 9> names {QStringLiteral("Nada"),
        QStringLiteral("RotateNoneFlipNone"), QStringLiteral("RotateNoneFlipX"),
        QStringLiteral("Rotate180FlipNone"), QStringLiteral("RotateNoneFlipY"),
        QStringLiteral("Rotate270FlipY"), QStringLiteral("Rotate90FlipNone"),
        QStringLiteral("Rotate270FlipX"), QStringLiteral("Rotate270FlipNone")};
    return names;
}

} // namespace

QString oruUtils::rotateModeFromOrientation(int orientation)
{
    if (orientation < 1 || orientation > 8) {
        ORU_LOG(QStringLiteral("**** unknown orientation: %1").arg(orientation));
        return rotateModeNames()[1];
    }
    return rotateModeNames()[size_t(orientation)];
}

int oruUtils::orientationFromRotateMode(const QString &rotateMode)
{
    if (rotateMode.isEmpty())
        return 1;
    const std::array<QString, 9> &names = rotateModeNames();
    for (size_t index = 0; index < names.size(); ++index) {
        if (names[index] == rotateMode)
            return int(index);
    }
    ORU_LOG(QStringLiteral("*** rotateMode %1 is unknown").arg(rotateMode));
    return 1;
}

} // namespace pondrel
