// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/refservice/SoapTestClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <sqlite3.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace pondrel {

namespace {

// One connection written by hand, for what libcurl will not send: headers that announce a body
// which never comes, or idle connections.
class RawConnection
{
public:
    explicit RawConnection(quint16 port)
        : m_fd(socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~RawConnection() { close(m_fd); }
    RawConnection(const RawConnection &) = delete;
    RawConnection &operator=(const RawConnection &) = delete;

    bool send(const QByteArray &bytes) const
    {
        return m_connected
            && ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    }
    // What arrives within the time, up to the peer closing.
    QByteArray receive(int timeoutMs) const
    {
        QByteArray received;
        pollfd wanted {m_fd, POLLIN, 0};
        char buffer[4096];
        while (poll(&wanted, 1, timeoutMs) > 0) {
            const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                break;
            received.append(buffer, got);
            if (received.contains("\r\n\r\n"))
                break;
        }
        return received;
    }
    bool closedByPeer(int timeoutMs) const
    {
        pollfd wanted {m_fd, POLLIN, 0};
        char byte;
        return poll(&wanted, 1, timeoutMs) > 0 && recv(m_fd, &byte, 1, MSG_PEEK) <= 0;
    }

private:
    int m_fd;
    bool m_connected = false;
};

// Headers that announce a body of `length` bytes, none of which is sent.
QByteArray announce(const QByteArray &method, const QByteArray &path, qint64 length,
    const QByteArray &moreHeaders = {})
{
    return method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: "
        + QByteArray::number(length) + "\r\n" + moreHeaders + "\r\n";
}

class HostileClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(logDir.isValid());
        ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
        agent = std::make_unique<AgentSide>(service, "mallory@example.org");
        const QString album = agent->createFolder(agent->session(), "", "Target").result();
        ASSERT_TRUE(agent->createPicture(agent->session(), album, "p.jpg").ok());
        commands = AgentSide::commandsOf(agent->visit());
        ASSERT_EQ(commands.size(), 2);
    }

    QStringList filesIn(const char *folder) const
    {
        return QDir(service.dataDirectory() + '/' + folder).entryList(QDir::Files);
    }

    QString partFile() const
    {
        const QStringList parts = filesIn("uploads");
        return parts.size() == 1 ? service.dataDirectory() + "/uploads/" + parts.first()
                                 : QString();
    }

    HttpResult admin(const char *path, const QList<QByteArray> &headers,
        const QByteArray &method = "GET", const QByteArray &body = {}) const
    {
        return SoapTestClient::request(service.baseUrl() + path, method, body, headers);
    }

    QTemporaryDir logDir;
    RefServiceProcess service {
        {"--log", logDir.filePath("requests.log"), "--max-connections-per-address", "6"}};
    std::unique_ptr<AgentSide> agent;
    QList<AgentSide::Command> commands;
};

TEST_F(HostileClientTest, OversizedAndMisroutedBodiesAreRefusedBeforeTheyAreRead)
{
    const QByteArray uploadPath = QUrl(commands[0].url()).path().toUtf8();
    const struct
    {
        const char *what;
        QByteArray request;
        QByteArray status;
    } cases[] = {
        {"an upload over the limit",
            announce("BITS_POST", uploadPath, 1LL << 30, "BITS-Packet-Type: Fragment\r\n"), "413"},
        {"a fragment for a bogus address",
            announce("BITS_POST", "/Pondrel/Upload/bogus", 1000,
                "BITS-Packet-Type: Fragment\r\nBITS-Session-Id: {x}\r\n"
                "Content-Range: bytes 0-999/1000\r\n"),
            "404"},
        {"a fragment without a session",
            announce("BITS_POST", uploadPath, 1000,
                "BITS-Packet-Type: Fragment\r\nBITS-Session-Id: {x}\r\n"
                "Content-Range: bytes 0-999/1000\r\n"),
            "400"},
        {"a body for no page", announce("POST", "/nowhere", 1000000), "404"},
        {"a SOAP body over 16 MiB",
            announce("POST", "/Pondrel/PublishingServices.asmx", 17 * 1024 * 1024), "500"},
        {"a gallery body", announce("POST", "/Pondrel/Gallery.aspx?a=x", 1LL << 20), "413"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        RawConnection connection(service.port());
        ASSERT_TRUE(connection.send(c.request));
        EXPECT_TRUE(connection.receive(5000).startsWith("HTTP/1.1 " + c.status));
    }
    EXPECT_TRUE(filesIn("incoming").isEmpty());
    EXPECT_TRUE(agent->checkComputer(AgentSide::kComputer).ok());
}

TEST_F(HostileClientTest, OneAddressCannotHoldEveryConnection)
{
    // Seven half-sent requests from one address. The service accepts them in its own time, so
    // the one it closes is whichever it comes to last, not necessarily the last one opened.
    std::vector<std::unique_ptr<RawConnection>> idle;
    for (int i = 0; i < 7; ++i) {
        idle.push_back(std::make_unique<RawConnection>(service.port()));
        idle.back()->send("GET /Pondrel/Gallery.aspx?a=x HTTP/1.1\r\n");
    }
    const auto anyClosed = [&idle] {
        return std::any_of(
            idle.cbegin(), idle.cend(), [](const std::unique_ptr<RawConnection> &connection) {
                return connection->closedByPeer(10);
            });
    };
    bool oneRefused = false;
    for (int round = 0; round < 100 && !oneRefused; ++round)
        oneRefused = anyClosed();
    EXPECT_TRUE(oneRefused);
    idle.clear();
    // Served again once the idle ones are gone.
    bool served = false;
    for (int attempt = 0; attempt < 50 && !served; ++attempt) {
        served = agent->checkComputer(AgentSide::kComputer).ok();
        if (!served)
            usleep(100 * 1000);
    }
    EXPECT_TRUE(served);
}

TEST_F(HostileClientTest, AnAddressHoldsOneUploadSessionAndDeadAddressesHoldNone)
{
    const QByteArray protocol = AgentSide::kProtocolOffer;
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(AgentSide::bits(commands[0].url(), "Create-Session", {protocol}).status, 200);
    EXPECT_EQ(filesIn("uploads").size(), 1);

    // The command fails and comes back with a new address: the old session is dropped as soon
    // as another begins, not at the next start.
    const SoapResult again = agent->visit(AgentSide::batchStatus(commands[0].batch,
        {AgentSide::failed(commands[0].id(), "0x80004005"),
            AgentSide::failed(commands[1].id(), "0x80004005")}));
    const QList<AgentSide::Command> reissued = AgentSide::commandsOf(again);
    ASSERT_FALSE(reissued.isEmpty());
    ASSERT_EQ(AgentSide::bits(reissued[0].url(), "Create-Session", {protocol}).status, 200);
    EXPECT_EQ(filesIn("uploads").size(), 1);
}

TEST_F(HostileClientTest, AFragmentLandsAtItsOffsetAndADamagedFileIsNeverARendition)
{
    const QByteArray bytes = AgentSide::fakeJpeg(300, 'q');
    const QString url = commands[0].url();
    const HttpResult created = AgentSide::bits(url, "Create-Session", {AgentSide::kProtocolOffer});
    const QByteArray session = "BITS-Session-Id: " + created.header("BITS-Session-Id");
    const auto fragment = [&](qint64 first, qint64 size) {
        return AgentSide::bits(url, "Fragment",
            {session,
                "Content-Range: bytes " + QByteArray::number(first) + '-'
                    + QByteArray::number(first + size - 1) + "/300"},
            bytes.mid(first, size));
    };
    ASSERT_EQ(fragment(0, 100).status, 200);
    // A write that failed halfway left bytes the session never counted.
    {
        QFile part(partFile());
        ASSERT_TRUE(part.open(QIODevice::Append));
        part.write("JUNK-FROM-A-SHORT-WRITE");
    }
    ASSERT_EQ(fragment(100, 200).status, 200);
    ASSERT_EQ(AgentSide::bits(url, "Close-Session", {session}).status, 200);

    // A part file that lost bytes after its last fragment is refused at close.
    const QString preview = commands[1].url();
    const HttpResult second
        = AgentSide::bits(preview, "Create-Session", {AgentSide::kProtocolOffer});
    const QByteArray secondSession = "BITS-Session-Id: " + second.header("BITS-Session-Id");
    ASSERT_EQ(AgentSide::bits(
                  preview, "Fragment", {secondSession, "Content-Range: bytes 0-299/300"}, bytes)
                  .status,
        200);
    ASSERT_TRUE(QFile::resize(partFile(), 150));
    EXPECT_EQ(AgentSide::bits(preview, "Close-Session", {secondSession}).status, 400);

    const SoapResult reported = agent->visit(AgentSide::batchStatus(
        commands[0].batch, {AgentSide::succeeded(commands[0].id(), 200, 200, 300)}));
    ASSERT_TRUE(reported.ok());
    const SoapResult listing = agent->getAssets(agent->session(),
        childText(agent->getAssets(agent->session(), "")
                      .resultNode()
                      .child("Assets")
                      .child("FolderAsset"),
            "UniqueIdentifier"));
    const QString thumbnail = renditionsOf(
        listing.resultNode().child("Assets").child("PictureFileAsset"))["Thumbnail"]["Url"];
    EXPECT_EQ(SoapTestClient::get(thumbnail).body, bytes);
}

TEST_F(HostileClientTest, AFailingHandlerAnswers500AndTheServiceGoesOn)
{
    sqlite3 *raw = nullptr;
    ASSERT_EQ(
        sqlite3_open((service.dataDirectory() + "/refservice.sqlite").toUtf8().constData(), &raw),
        SQLITE_OK);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> database(raw, sqlite3_close);
    ASSERT_EQ(sqlite3_exec(database.get(),
                  "DROP TABLE imports; DROP TABLE symbolic_links; DROP TABLE outbox; "
                  "DROP TABLE renditions;",
                  nullptr, nullptr, nullptr),
        SQLITE_OK);
    EXPECT_EQ(SoapTestClient::get(service.baseUrl() + "/Pondrel/Gallery.aspx?a=x").status, 500);
    EXPECT_EQ(SoapTestClient::get(service.baseUrl() + "/Pondrel/Renditions/x.jpg").status, 500);
    EXPECT_EQ(admin("/Pondrel/Outbox", {service.adminHeader()}).status, 500);
    EXPECT_TRUE(service.isRunning());
    EXPECT_TRUE(agent->checkComputer(AgentSide::kComputer).ok());
}

TEST_F(HostileClientTest, AdministrationWantsTheTokenAndTheListeningAddress)
{
    const QByteArray token = service.adminHeader();
    EXPECT_EQ(admin("/Pondrel/Outbox", {token}).status, 200);
    EXPECT_EQ(admin("/Pondrel/Outbox", {}).status, 403);
    EXPECT_EQ(admin("/Pondrel/Outbox", {"X-Pondrel-Admin-Token: guess"}).status, 403);
    EXPECT_EQ(admin("/Pondrel/Outbox", {token, "Host: pondrel.example"}).status, 403);
    EXPECT_EQ(
        admin("/Pondrel/Admin/Faults", {"Content-Type: text/plain"}, "POST", "*:delay:1000").status,
        403);
    EXPECT_EQ(admin("/Pondrel/Admin/AgeSessions", {}, "POST", "100000").status, 403);
    // A delay that would park a thread for weeks is refused.
    EXPECT_EQ(admin("/Pondrel/Admin/Faults", {token}, "POST", "*:delay:2000000000").status, 400);
    EXPECT_TRUE(agent->checkComputer(AgentSide::kComputer).ok());

    RefServiceProcess plain {{}, {.admin = false}};
    ASSERT_TRUE(plain.start()) << plain.errorMsg().toStdString();
    for (const char *path : {"/Pondrel/Outbox", "/Pondrel/Admin/Faults"})
        EXPECT_EQ(SoapTestClient::get(plain.baseUrl() + path).status, 404) << path;
}

TEST_F(HostileClientTest, StateIsTheUsersOwnAndTheLogKeepsNoSecrets)
{
    ASSERT_EQ(AgentSide::upload(commands[0].url(), AgentSide::fakeJpeg(200, 'w')).status, 200);
    const auto mode = [](const QString &path) {
        return QFileInfo(path).permissions()
            & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                | QFile::WriteOther | QFile::ExeOther);
    };
    EXPECT_EQ(mode(service.dataDirectory()), QFile::Permissions());
    EXPECT_EQ(mode(service.dataDirectory() + "/refservice.sqlite"), QFile::Permissions());
    EXPECT_EQ(mode(logDir.filePath("requests.log")), QFile::Permissions());

    QFile log(logDir.filePath("requests.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray lines = log.readAll();
    EXPECT_TRUE(lines.contains("Create-Session")) << "the log was not written";
    const QString token = QUrl(commands[0].url()).path().section('/', -1);
    EXPECT_FALSE(lines.contains(token.toUtf8()));
    EXPECT_FALSE(lines.contains(agent->session().toUtf8()));
}

} // namespace

} // namespace pondrel
