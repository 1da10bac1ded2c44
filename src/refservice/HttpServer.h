// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/HttpMessage.h"

#include <QString>

#include <functional>
#include <memory>

struct MHD_Daemon;

namespace pondrel::refservice {

// libmicrohttpd with its own thread pool. It gathers each request whole (up to a body limit
// chosen per path), hands it to the handler on a pool thread and sends the handler's reply.
// Any method is accepted, BITS_POST included.
class HttpServer
{
public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;
    using BodyLimit = std::function<qint64(const QString &path)>;

    HttpServer(Handler handler, BodyLimit bodyLimit);
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Binds the listening socket; host is an IPv4 or IPv6 address or a name, port 0 picks a free
    // one. port() is known from here on, before any request is served.
    bool listen(const QString &host, quint16 port, QString &errorMsg);
    quint16 port() const { return m_port; }
    // Starts serving on the bound socket with a pool of threads.
    bool start(int threads, QString &errorMsg);
    void stop();

    // Internal: called by the libmicrohttpd callbacks.
    HttpResponse handle(const HttpRequest &request) const { return m_handler(request); }
    qint64 bodyLimit(const QString &path) const { return m_bodyLimit(path); }

private:
    struct DaemonStopper
    {
        void operator()(MHD_Daemon *daemon) const;
    };
    Handler m_handler;
    BodyLimit m_bodyLimit;
    std::unique_ptr<MHD_Daemon, DaemonStopper> m_daemon;
    int m_socket = -1; // owned until the daemon takes it over
    bool m_ipv6 = false;
    quint16 m_port = 0;
};

} // namespace pondrel::refservice
