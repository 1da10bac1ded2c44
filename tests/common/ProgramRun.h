// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace pondrel {

// Runs a program to its end and keeps what it wrote. The environment defaults to this process's
// own, so a ScratchHome in force carries over to the child.
struct ProgramRun
{
    int exitCode = -1;
    qint64 processId = 0;
    QString standardOutput;
    QString standardError;

    static ProgramRun run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

    // A program of this build (pondrel-tool, pondrel-refservice, test helpers): from
    // $PONDREL_BIN_DIR, else beside the test itself.
    static QString builtProgram(const QString &name);
    static ProgramRun tool(const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
};

} // namespace pondrel
