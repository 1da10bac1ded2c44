#pragma once

#include <QString>

// pondrel-tool as built beside the tests.
inline QString pondrelToolPath()
{
    QString folder = qEnvironmentVariable("PONDREL_BIN_DIR");
    if (folder.isEmpty())
        folder = QStringLiteral(PONDREL_TEST_BIN_DIR);
    return folder + QStringLiteral("/pondrel-tool");
}
