// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace pondrel {

// A pondrel-refservice of its own for one test: started from $PONDREL_BIN_DIR on an ephemeral
// loopback port with a fresh data folder, stopped (SIGTERM, then kill) when the object goes.
//
//     RefServiceProcess service;
//     ASSERT_TRUE(service.start()) << service.errorMsg();
//     call(service.baseUrl() + "/Pondrel/PublishingServices.asmx", ...);
class RefServiceProcess
{
public:
    // extraArguments are appended to --listen and --data on every start.
    explicit RefServiceProcess(QStringList extraArguments = {});
    ~RefServiceProcess();
    RefServiceProcess(const RefServiceProcess &) = delete;
    RefServiceProcess &operator=(const RefServiceProcess &) = delete;

    bool start();
    // Stops cleanly and starts again on the same data folder (the port may change).
    bool restart();
    void stop();

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    QString baseUrl() const { return m_baseUrl; } // http://127.0.0.1:PORT
    quint16 port() const { return m_port; }
    QString dataDirectory() const { return m_dataDir.path(); }
    QString errorMsg() const { return m_errorMsg; }
    // What the service wrote to standard error so far.
    QString standardError();

    static QString programPath();

private:
    QStringList m_extraArguments;
    QTemporaryDir m_dataDir;
    QProcess m_process;
    QString m_baseUrl;
    quint16 m_port = 0;
    QString m_errorMsg;
    QByteArray m_stderr;
};

} // namespace pondrel
