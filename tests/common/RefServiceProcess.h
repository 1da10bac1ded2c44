// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace pondrel {

// A pondrel-refservice of its own for one test: started from $PONDREL_BIN_DIR on an ephemeral
// loopback port with a fresh data folder, stopped (SIGTERM, then kill) when the object goes.
// Unless told otherwise it serves the administration paths (adminHeader() opens them) and
// hashes passwords with few iterations, so that tests stay quick.
//
//     RefServiceProcess service;
//     ASSERT_TRUE(service.start()) << service.errorMsg();
//     call(service.baseUrl() + "/Pondrel/PublishingServices.asmx", ...);
struct RefServiceOptions
{
    bool admin = true;
    bool quickPasswords = true;
};

class RefServiceProcess
{
public:
    // extraArguments are appended to --listen and --data on every start.
    explicit RefServiceProcess(QStringList extraArguments = {}, RefServiceOptions options = {});
    ~RefServiceProcess();
    RefServiceProcess(const RefServiceProcess &) = delete;
    RefServiceProcess &operator=(const RefServiceProcess &) = delete;

    bool start();
    // Stops cleanly and starts again on the same data folder (the port may change).
    bool restart();
    void stop();

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 processId() const { return m_process.processId(); }
    QString baseUrl() const { return m_baseUrl; } // http://127.0.0.1:PORT
    quint16 port() const { return m_port; }
    QString dataDirectory() const { return m_dataDir.path(); }
    QString errorMsg() const { return m_errorMsg; }
    // The token of this run's administration paths, and the header that carries it.
    QString adminToken() const { return m_adminToken; }
    QByteArray adminHeader() const { return "X-Pondrel-Admin-Token: " + m_adminToken.toUtf8(); }
    // What the service wrote to standard error so far.
    QString standardError();

    static QString programPath();

private:
    std::optional<QByteArray> readLine();

    QStringList m_extraArguments;
    RefServiceOptions m_options;
    QTemporaryDir m_dataDir;
    QProcess m_process;
    QString m_baseUrl;
    quint16 m_port = 0;
    QString m_adminToken;
    QString m_errorMsg;
    QByteArray m_stderr;
};

} // namespace pondrel
