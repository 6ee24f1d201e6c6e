#include "net/HttpCli.h"
#include "support/HttpTestServer.h"
#include <QBuffer>
#include <QCoreApplication>
#include <algorithm>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

using namespace sf;
using sf::test::RequestLines;
using sf::test::THttpTestServer;
using sf::test::TStep;

namespace {

const std::string kAccept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
const std::string kAgent = "Mozilla/4.0 (compatible; Stormfetch)";

struct TClient {
    THttpCli Cli{"RidgeCli"};
    QBuffer Body;
    std::vector<int> States;
    int DocBlocks = 0, Done = 0, Relocations = 0, SocketErrors = 0;
    TClient()
    {
        Body.open(QIODevice::ReadWrite);
        Cli.ReceiveStream = &Body;
        Cli.OnStateChange = [this](THttpCli& c) { States.push_back(c.State()); };
        Cli.OnDocData = [this](THttpCli&, const char*, size_t) { ++DocBlocks; };
        Cli.OnRequestDone = [this](THttpCli&) { ++Done; };
        Cli.OnLocationChange = [this](THttpCli&) { ++Relocations; };
        Cli.OnSocketError = [this](THttpCli&, int) { ++SocketErrors; };
    }
    /// Get with a safety net: a test never waits more than 10 s.
    void Get(const std::string& url)
    {
        Cli.URL = url;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [this] { Cli.Abort(); });
        guard.start(10000);
        Cli.Get();
    }
    std::string Text() const { return Body.data().toStdString(); }
};

const std::vector<int> kPlainSequence = {httpNotConnected, httpDnsLookup, httpDnsLookupDone, httpConnected,
                                         httpWaitingHeader, httpWaitingBody, httpReady};

} // namespace

TEST(HttpCli, StateValuesKeepTheirOrder)
{
    EXPECT_EQ(httpReady, 0);
    EXPECT_EQ(httpWaitingBody, 6);
    EXPECT_EQ(httpBodyReceived, 7);
    EXPECT_EQ(httpAborting, 10);
}

TEST(HttpCli, SendsExactlyTheRequestBytesAndReadsTheBody)
{
    THttpTestServer srv;
    srv.ServeFile("/ridge/a.gif", "GIF89a-data");
    TClient c;
    c.Get(srv.Url("/ridge/a.gif"));
    ASSERT_EQ(srv.Requests.size(), 1u);
    EXPECT_EQ(srv.Requests[0], "GET /ridge/a.gif HTTP/1.0\r\nAccept: " + kAccept + "\r\nUser-Agent: " + kAgent +
                                   "\r\nHost: 127.0.0.1:" + std::to_string(srv.Port()) + "\r\n\r\n");
    EXPECT_EQ(c.Cli.StatusCode(), 200);
    EXPECT_EQ(c.Cli.ReasonPhrase(), "OK");
    EXPECT_EQ(c.Cli.ContentLength(), 11);
    EXPECT_EQ(c.Cli.ReceivedCount(), 11);
    EXPECT_EQ(c.Cli.ContentType(), "application/octet-stream");
    EXPECT_EQ(c.Text(), "GIF89a-data");
    EXPECT_EQ(c.States, kPlainSequence);
    EXPECT_EQ(c.Cli.State(), httpReady);
    QCoreApplication::processEvents();
    EXPECT_EQ(c.Done, 1);
}

TEST(HttpCli, ErrorStatusRaisesWithTheServersReason)
{
    THttpTestServer srv;
    srv.Answer("/x", "HTTP/1.0 404 Not Found here\r\nContent-Length: 4\r\n\r\ngone");
    TClient c;
    try {
        c.Get(srv.Url("/x"));
        FAIL() << "no exception";
    } catch (const EHttpException& e) {
        EXPECT_EQ(e.ErrorCode(), 404);
        EXPECT_STREQ(e.what(), "Not Found here");
    }
    EXPECT_EQ(c.Text(), "gone");
    for (int code : {401, 407}) {
        srv.Answer("/a", "HTTP/1.0 " + std::to_string(code) + " Auth\r\n\r\n");
        TClient a;
        EXPECT_NO_THROW(a.Get(srv.Url("/a")));
        EXPECT_EQ(a.Cli.StatusCode(), code);
    }
}

TEST(HttpCli, EveryErrorStatusFromFourHundredRaises)
{
    THttpTestServer srv;
    for (int code : {400, 403, 500, 503}) {
        srv.Answer("/e", "HTTP/1.0 " + std::to_string(code) + " Bad\r\nContent-Length: 0\r\n\r\n");
        TClient c;
        try {
            c.Get(srv.Url("/e"));
            ADD_FAILURE() << code << " raised nothing";
        } catch (const EHttpException& e) {
            EXPECT_EQ(e.ErrorCode(), code);
            EXPECT_STREQ(e.what(), "Bad");
        }
    }
    srv.Answer("/ok", "HTTP/1.0 399 Fine\r\nContent-Length: 2\r\n\r\nok");
    TClient fine;
    EXPECT_NO_THROW(fine.Get(srv.Url("/ok")));
    EXPECT_EQ(fine.Cli.StatusCode(), 399);
}

TEST(HttpCli, AnswerShapes)
{
    THttpTestServer srv;
    srv.Answer("/noLength", "HTTP/1.0 200 OK\r\n\r\nread until close");
    srv.Answer("/zero", "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
    srv.Answer("/html", "<HTML><body>x</body></HTML>\r\n");
    srv.Answer("/chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n");
    srv.Answer("/continue", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    srv.Script("/split", {TStep::Out("HTTP/1.0 200 OK\r\nContent-"), TStep::Wait(50), TStep::Out("Length: 6\r\n\r\nab"),
                          TStep::Wait(50), TStep::Out("cdef"), TStep::Hang()});
    TClient a;
    a.Get(srv.Url("/noLength"));
    EXPECT_EQ(a.Text(), "read until close");
    EXPECT_EQ(a.Cli.ContentLength(), -1);
    TClient z;
    z.Get(srv.Url("/zero"));
    EXPECT_EQ(z.DocBlocks, 0);
    EXPECT_EQ(z.Cli.StatusCode(), 200);
    TClient h;
    h.Get(srv.Url("/html"));
    EXPECT_EQ(h.Text(), "<HTML><body>x</body></HTML>\r\n");
    EXPECT_EQ(h.Cli.ContentType(), "text/html");
    TClient ch;
    ch.Get(srv.Url("/chunked"));
    EXPECT_EQ(ch.Text(), "abcde");
    TClient co;
    co.Get(srv.Url("/continue"));
    EXPECT_EQ(co.Cli.StatusCode(), 200);
    EXPECT_EQ(co.Text(), "ok");
    TClient sp; // the body ends at Content-Length even though the server keeps the line open
    sp.Get(srv.Url("/split"));
    EXPECT_EQ(sp.Text(), "abcdef");
    EXPECT_EQ(sp.DocBlocks, 2);
}

TEST(HttpCli, RelocationsAreFollowedOnNewConnections)
{
    THttpTestServer srv;
    srv.Answer("/old/a.gif", "HTTP/1.0 302 Found\r\nLocation: b.gif\r\n\r\n");
    srv.Answer("/old/b.gif", "HTTP/1.0 301 Moved\r\nLocation: /new/c.gif\r\nContent-Length: 5\r\n\r\nmoved");
    srv.Answer("/new/c.gif", "HTTP/1.0 302 Found\r\nLocation: " + srv.Url("/final.gif") + "\r\n\r\n");
    srv.ServeFile("/final.gif", "FINAL");
    TClient c;
    c.Get(srv.Url("/old/a.gif"));
    EXPECT_EQ(c.Cli.StatusCode(), 200);
    EXPECT_EQ(c.Text(), "FINAL"); // the relocation's own body is not part of the document
    EXPECT_EQ(c.Relocations, 3);
    EXPECT_EQ(c.Cli.URL, srv.Url("/final.gif"));
    EXPECT_EQ(srv.Connections, 4);
    ASSERT_EQ(srv.Requests.size(), 4u);
    EXPECT_EQ(RequestLines(srv.Requests[1])[0], "GET /old/b.gif HTTP/1.0");
    EXPECT_EQ(RequestLines(srv.Requests[2])[0], "GET /new/c.gif HTTP/1.0");
    // A relocation repeats the sequence from the name lookup.
    const std::vector<int> hop = {httpDnsLookup, httpDnsLookupDone, httpConnected, httpWaitingHeader};
    EXPECT_TRUE(std::search(c.States.begin(), c.States.end(), hop.begin(), hop.end()) != c.States.end());
    EXPECT_EQ(std::count(c.States.begin(), c.States.end(), httpNotConnected), 1);
}

TEST(HttpCli, AtMostFiveHopsThenTheLastAnswerStands)
{
    THttpTestServer srv;
    for (int i = 0; i < 7; ++i)
        srv.Answer("/r" + std::to_string(i), "HTTP/1.0 302 Found\r\nLocation: /r" + std::to_string(i + 1) + "\r\n\r\n");
    TClient c;
    EXPECT_NO_THROW(c.Get(srv.Url("/r0")));
    EXPECT_EQ(c.Cli.StatusCode(), 302);
    EXPECT_EQ(c.Cli.LocationChangeCurCount(), 5);
    EXPECT_EQ(srv.Requests.size(), 6u);
}

TEST(HttpCli, ProxyGetsTheAbsoluteFormTarget)
{
    THttpTestServer proxy;
    proxy.ProxyMode = true;
    proxy.ServeFile("http://radar.example/ridge/x.gif", "via proxy");
    TClient c;
    c.Cli.Proxy = "127.0.0.1";
    c.Cli.ProxyPort = std::to_string(proxy.Port());
    c.Get("radar.example/ridge/x.gif");
    EXPECT_EQ(c.Text(), "via proxy");
    ASSERT_EQ(proxy.Requests.size(), 1u);
    EXPECT_EQ(proxy.Requests[0], "GET http://radar.example/ridge/x.gif HTTP/1.0\r\nAccept: " + kAccept +
                                     "\r\nUser-Agent: " + kAgent + "\r\nHost: radar.example\r\n\r\n");
    // The proxy text may carry its own port; a port written in the URL appears in both places.
    proxy.ServeFile("http://radar.example:8080/y", "y");
    TClient d;
    d.Cli.Proxy = "127.0.0.1:" + std::to_string(proxy.Port());
    d.Cli.ProxyPort = "1";
    d.Get("http://radar.example:8080/y");
    EXPECT_EQ(RequestLines(proxy.Requests[1])[0], "GET http://radar.example:8080/y HTTP/1.0");
    EXPECT_EQ(RequestLines(proxy.Requests[1])[3], "Host: radar.example:8080");
}

TEST(HttpCli, FailuresEndTheRequestWithTheirTexts)
{
    TClient refused;
    try {
        refused.Get("http://127.0.0.1:" + std::to_string(THttpTestServer::UnusedPort()) + "/");
        FAIL();
    } catch (const EHttpException& e) {
        EXPECT_EQ(e.ErrorCode(), 404);
        // The system's own number and text, not the toolkit's kind of error.
        EXPECT_NE(std::string(e.what()).find(std::string(std::strerror(ECONNREFUSED)) + " (Error #" +
                                             std::to_string(ECONNREFUSED) + ")"),
                  std::string::npos)
            << e.what();
    }
    TClient noHost;
    try {
        noHost.Get("http:///x");
        FAIL();
    } catch (const EHttpException& e) {
        EXPECT_EQ(e.ErrorCode(), 404);
        EXPECT_STREQ(e.what(), "can't resolve hostname to IP address");
    }
    TClient ftp;
    try {
        ftp.Get("ftp://127.0.0.1/x");
        FAIL();
    } catch (const EHttpException& e) {
        EXPECT_EQ(e.ErrorCode(), 501);
        EXPECT_STREQ(e.what(), "Protocol \"ftp\" not implemented");
    }
    EXPECT_EQ(ftp.Cli.State(), httpReady);
}

TEST(HttpCli, RelocationToAFileUrlIsAnUnspokenProtocol)
{
    THttpTestServer srv;
    srv.Answer("/a.gif", "HTTP/1.0 302 Found\r\nLocation: file:///etc/passwd\r\n\r\n");
    TClient c;
    try {
        c.Get(srv.Url("/a.gif"));
        FAIL();
    } catch (const EHttpException& e) {
        EXPECT_EQ(e.ErrorCode(), 501);
        EXPECT_STREQ(e.what(), "Protocol \"file\" not implemented");
    }
    EXPECT_EQ(c.Cli.State(), httpReady);
}

TEST(HttpCli, AbortDuringLookupEndsAtOnce)
{
    TClient c;
    c.Cli.OnStateChange = [&c](THttpCli& cli) {
        c.States.push_back(cli.State());
        if (cli.State() == httpDnsLookup)
            cli.Abort();
    };
    try {
        c.Get("http://127.0.0.1:1/x");
        FAIL();
    } catch (const EHttpException& e) {
        EXPECT_EQ(e.ErrorCode(), 404);
        EXPECT_STREQ(e.what(), "Connection aborted on request");
    }
    const std::vector<int> expected = {httpNotConnected, httpDnsLookup, httpAborting, httpReady};
    EXPECT_EQ(c.States, expected);
}

TEST(HttpCli, AbortWhileReadyReportsOk)
{
    TClient c;
    EXPECT_NO_THROW(c.Cli.Abort());
    EXPECT_EQ(c.Cli.StatusCode(), 200);
    EXPECT_EQ(c.Cli.ReasonPhrase(), "OK");
    EXPECT_EQ(c.States, std::vector<int>{httpReady});
    QCoreApplication::processEvents();
    EXPECT_EQ(c.Done, 1);
}

TEST(HttpCli, AbortMidBodyAndBusyInstance)
{
    THttpTestServer srv;
    srv.Script("/slow", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nabc"), TStep::Hang()});
    TClient c;
    std::string busyText;
    int busyCode = 0;
    c.Cli.OnDocData = [&](THttpCli& cli, const char*, size_t) {
        try {
            cli.Get();
        } catch (const EHttpException& e) {
            busyText = e.what();
            busyCode = e.ErrorCode();
        }
        cli.Abort();
    };
    try {
        c.Get(srv.Url("/slow"));
        FAIL();
    } catch (const EHttpException& e) {
        EXPECT_STREQ(e.what(), "Connection aborted on request");
    }
    EXPECT_EQ(busyText, "HTTP component RidgeCli is busy");
    EXPECT_EQ(busyCode, 1);
    EXPECT_EQ(c.Text(), "abc");
    EXPECT_EQ(c.States[c.States.size() - 2], httpAborting);
}

TEST(HttpCli, HostileAnswersNeverHangOrCrash)
{
    THttpTestServer srv;
    srv.Script("/longline", {TStep::Out("HTTP/1.0 200 OK\r\nX: " + std::string(20000, 'x')), TStep::Hang()});
    srv.Answer("/badlen", "HTTP/1.0 200 OK\r\nContent-Length: lots\r\n\r\nabc");
    srv.Answer("/chunkbomb", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFFFFFF\r\nab");
    for (const char* path : {"/longline", "/badlen", "/chunkbomb"}) {
        TClient c;
        try {
            c.Get(srv.Url(path));
            FAIL() << path;
        } catch (const EHttpException& e) {
            EXPECT_EQ(e.ErrorCode(), 404) << path;
            EXPECT_NE(std::string(e.what()).find("Invalid answer"), std::string::npos) << e.what();
        }
    }
}

TEST(HttpCli, ResetMidBodyEndsTheRequestShort)
{
    // The socket layer reports a reset like an orderly close; the announced length tells.
    THttpTestServer srv;
    srv.Script("/reset", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\npartial"), TStep::Wait(50), TStep::Rst()});
    TClient c;
    EXPECT_NO_THROW(c.Get(srv.Url("/reset")));
    EXPECT_EQ(c.Cli.State(), httpReady);
    EXPECT_EQ(c.Text(), "partial");
    EXPECT_EQ(c.Cli.ContentLength(), 100);
    EXPECT_EQ(c.Cli.ReceivedCount(), 7);
}

TEST(HttpCli, EndTransferActsLikeAServerClose)
{
    THttpTestServer srv;
    srv.Script("/stall", {TStep::Out("HTTP/1.0 200 OK\r\n\r\nsome"), TStep::Hang()});
    TClient c;
    c.Cli.OnDocData = [](THttpCli& cli, const char*, size_t) { cli.EndTransfer(); };
    EXPECT_NO_THROW(c.Get(srv.Url("/stall")));
    EXPECT_EQ(c.Cli.StatusCode(), 200);
    EXPECT_EQ(c.Text(), "some");
}

class HttpCliTls : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!m_srv.StartTls())
            GTEST_SKIP() << "no TLS on this machine";
    }
    THttpTestServer m_srv;
};

TEST_F(HttpCliTls, HttpsIsServedOverVerifiedTls)
{
    m_srv.ServeFile("/secure.gif", "TLSDATA");
    TClient c;
    c.Cli.ExtraCaCertificates = THttpTestServer::TestCertificates();
    c.Get(m_srv.TlsUrl("/secure.gif"));
    EXPECT_EQ(c.Text(), "TLSDATA");
    EXPECT_EQ(c.States, kPlainSequence);
    ASSERT_EQ(m_srv.Requests.size(), 1u);
    EXPECT_EQ(RequestLines(m_srv.Requests[0])[3], "Host: 127.0.0.1:" + std::to_string(m_srv.TlsPort()));
}

TEST_F(HttpCliTls, PlainRequestRelocatedToHttps)
{
    m_srv.Answer("/plain", "HTTP/1.0 301 Moved Permanently\r\nLocation: " + m_srv.TlsUrl("/secure") + "\r\n\r\n");
    m_srv.ServeFile("/secure", "over tls");
    TClient c;
    c.Cli.ExtraCaCertificates = THttpTestServer::TestCertificates();
    c.Get(m_srv.Url("/plain"));
    EXPECT_EQ(c.Text(), "over tls");
    EXPECT_EQ(c.Cli.URL, m_srv.TlsUrl("/secure"));
}

TEST_F(HttpCliTls, UntrustedCertificateFailsWithATlsReason)
{
    m_srv.ServeFile("/secure", "never");
    TClient c;
    try {
        c.Get(m_srv.TlsUrl("/secure"));
        FAIL();
    } catch (const EHttpException& e) {
        EXPECT_EQ(e.ErrorCode(), 404);
        EXPECT_EQ(std::string(e.what()).rfind("TLS handshake failed: ", 0), 0u) << e.what();
    }
    EXPECT_TRUE(c.Text().empty());
}

TEST_F(HttpCliTls, HttpsThroughAProxyUsesATunnel)
{
    m_srv.ProxyMode = true;
    m_srv.ServeFile("/tunnelled", "tunnel body");
    TClient c;
    c.Cli.ExtraCaCertificates = THttpTestServer::TestCertificates();
    c.Cli.Proxy = "127.0.0.1:" + std::to_string(m_srv.Port());
    c.Get("https://127.0.0.1/tunnelled");
    EXPECT_EQ(c.Text(), "tunnel body");
    ASSERT_EQ(m_srv.Requests.size(), 2u);
    EXPECT_EQ(RequestLines(m_srv.Requests[0])[0], "CONNECT 127.0.0.1:443 HTTP/1.0");
    EXPECT_EQ(m_srv.Requests[1], "GET /tunnelled HTTP/1.0\r\nAccept: " + kAccept + "\r\nUser-Agent: " + kAgent +
                                     "\r\nHost: 127.0.0.1\r\n\r\n");
}
