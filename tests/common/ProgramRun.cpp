// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ProgramRun.h"

#include <QCoreApplication>
#include <QProcess>

namespace pondrel {

ProgramRun ProgramRun::run(
    const QString &program, const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.closeWriteChannel();
    ProgramRun result;
    result.processId = process.processId();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        result.standardError = process.errorString();
        return result;
    }
    result.exitCode = process.exitCode();
    result.standardOutput = QString::fromUtf8(process.readAllStandardOutput());
    result.standardError = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString ProgramRun::builtProgram(const QString &name)
{
    const QString folder = qEnvironmentVariable("PONDREL_BIN_DIR");
    return (folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder) + QLatin1Char('/')
        + name;
}

ProgramRun ProgramRun::tool(const QStringList &arguments, const QProcessEnvironment &environment)
{
    return run(builtProgram(QStringLiteral("pondrel-tool")), arguments, environment);
}

} // namespace pondrel
