// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/HttpMessage.h"

#include <QString>

#include <functional>
#include <memory>

struct MHD_Daemon;

namespace pondrel::refservice {

// libmicrohttpd with a thread per connection. Once a request's headers are in, the admission
// callback refuses it or says how much body to take and where (memory or a spool file); the
// handler then gets the whole request on its connection's thread and its reply is sent. Any method is
// accepted, BITS_POST included. Nothing a handler throws reaches libmicrohttpd: it becomes a 500.
class HttpServer
{
public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;
    using Admission = std::function<HttpAdmission(const HttpRequest &)>;

    struct Limits
    {
        int connections = 256;
        int connectionsPerAddress = 32;
        QString spoolDirectory; // where bodies asked for on disk are written
    };

    HttpServer(Handler handler, Admission admission, Limits limits);
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Binds the listening socket; host is an IPv4 or IPv6 address or a name, port 0 picks a free
    // one. port() is known from here on, before any request is served.
    bool listen(const QString &host, quint16 port, QString &errorMsg);
    quint16 port() const { return m_port; }
    // Starts serving on the bound socket, one thread per connection.
    bool start(QString &errorMsg);
    void stop();

    // Internal: called by the libmicrohttpd callbacks; neither throws.
    HttpResponse handle(const HttpRequest &request) const noexcept;
    HttpAdmission admit(const HttpRequest &request) const noexcept;
    const QString &spoolDirectory() const { return m_limits.spoolDirectory; }

private:
    struct DaemonStopper
    {
        void operator()(MHD_Daemon *daemon) const;
    };
    Handler m_handler;
    Admission m_admission;
    Limits m_limits;
    std::unique_ptr<MHD_Daemon, DaemonStopper> m_daemon;
    int m_socket = -1; // owned until the daemon takes it over
    bool m_ipv6 = false;
    quint16 m_port = 0;
};

} // namespace pondrel::refservice
