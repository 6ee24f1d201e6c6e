#include "app/DemoServer.h"
#include "app/DemoShapes.h"
#include "core/Clock.h"
#include "core/Text.h"
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <cmath>
#include <vector>

namespace sf {

namespace {
constexpr int kSlotMinutes = 5;

std::string HttpHead(int code, const std::string& type, size_t length)
{
    std::string reason = code == 200 ? "OK" : code == 400 ? "Bad Request" : code == 503 ? "Service Unavailable" : "Not Found";
    return "HTTP/1.0 " + std::to_string(code) + " " + reason + "\r\nContent-Type: " + type
        + "\r\nContent-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n";
}

} // namespace

TDemoAnswer DemoFound(const std::string& type, std::string body)
{
    TDemoAnswer a;
    if (body.empty())
        return a;
    a.Code = 200;
    a.ContentType = type;
    a.Body = std::move(body);
    return a;
}

TDateTime DemoImageTime(TDateTime utc)
{
    double minutes = std::floor(utc * 1440.0 + 1e-6);
    minutes -= std::fmod(minutes, (double)kSlotMinutes);
    return minutes / 1440.0;
}

std::string DemoTimedName(const std::string& prefix, TDateTime imageTime, const std::string& suffix)
{
    std::string stamp = FormatDateTime("yyyymmdd_hhnn", imageTime);
    return prefix + "_" + stamp + suffix;
}

std::string DemoListingPage(const std::string& title, const std::vector<std::string>& files)
{
    std::string page = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\r\n<html>\r\n<head>\r\n<title>Index of "
        + title + "</title>\r\n</head>\r\n<body>\r\n<h1>Index of " + title + "</h1>\r\n<table>\r\n"
        + "<tr><th><a href=\"?C=N;O=D\">Name</a></th><th><a href=\"?C=M;O=A\">Last modified</a></th></tr>\r\n"
        + "<tr><td><a href=\"../\">Parent Directory</a></td><td>&nbsp;</td></tr>\r\n";
    for (const auto& f : files)
        page += "<tr><td><a href=\"" + f + "\">" + f + "</a></td><td align=\"right\">-</td></tr>\r\n";
    page += "</table>\r\n</body></html>\r\n";
    return page;
}

TDemoAnswer DemoAnswer(const std::string& target, TDateTime utc, const TDemoRadarSource& src)
{
    std::string path = target;
    if (auto scheme = path.find("://"); scheme != std::string::npos) {
        auto slash = path.find('/', scheme + 3);
        path = slash == std::string::npos ? "/" : path.substr(slash);
    }
    std::string query;
    if (auto q = path.find('?'); q != std::string::npos) {
        query = path.substr(q + 1);
        path = path.substr(0, q);
    }
    const std::string shapes = kDemoShapePath;
    if (StartsWith(path, shapes))
        return DemoFound("application/octet-stream", DemoShapefile(path.substr(shapes.size()), utc));
    // Every layout's publisher has its own paths; the first that knows the file answers.
    for (const TDemoPublisher& publisher : DemoPublishers())
        if (TDemoAnswer a = publisher.Answer(path, query, utc, src); a.Code != 404) {
            if (src.Stalled && src.Stalled(publisher.Layout, utc))
                return {503, "text/html", {}}; // that layout's service is down
            return a;
        }
    return {};
}

TDemoServer::TDemoServer(const IClock& clock, TDemoRadarSource source) : m_clock(clock), m_source(std::move(source)) {}

TDemoServer::~TDemoServer() = default;

bool TDemoServer::Start(std::string* error)
{
    m_server = std::make_unique<QTcpServer>();
    if (!m_server->listen(QHostAddress::LocalHost, 0)) {
        if (error)
            *error = "cannot listen on 127.0.0.1: " + m_server->errorString().toStdString();
        return false;
    }
    m_port = m_server->serverPort();
    QObject::connect(m_server.get(), &QTcpServer::newConnection, [this] {
        while (QTcpSocket* s = m_server->nextPendingConnection()) {
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { Serve(s); });
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    return true;
}

std::string TDemoServer::RidgeBase() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/ridge/RadarImg/";
}

std::string TDemoServer::RidgeNatBase() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/ridge/Conus/RadarImg/";
}

std::string TDemoServer::IemBase() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/";
}

std::string TDemoServer::WmsBase() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + kDemoWmsPath;
}

std::string TDemoServer::ShapefileBase() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + kDemoShapePath;
}

void TDemoServer::Serve(QTcpSocket* s)
{
    // The request collected so far lives on the socket itself.
    QByteArray buf = s->property("sfRequest").toByteArray() + s->readAll();
    s->setProperty("sfRequest", buf);
    if (buf.size() > 16384) {
        s->abort();
        return;
    }
    int end = buf.indexOf("\r\n\r\n");
    if (end < 0)
        end = buf.indexOf("\n\n");
    if (end < 0)
        return;
    ++m_requests;
    std::string head = buf.left(end).toStdString();
    std::string line = GetField(head, 1, '\n');
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    std::string method = GetField(line, 1, ' '), target = GetField(line, 2, ' ');
    TDemoAnswer a;
    if (method != "GET" || target.empty()) {
        a.Code = 400;
    } else {
        a = DemoAnswer(target, m_clock.UTCNow(), m_source);
        if (m_served.size() >= 1000)
            m_served.erase(m_served.begin());
        m_served.push_back(target);
    }
    if (a.Code != 200)
        a.Body = "<html><body>" + std::to_string(a.Code) + "</body></html>";
    std::string head2 = HttpHead(a.Code, a.ContentType, a.Body.size());
    s->write(head2.data(), (qint64)head2.size());
    s->write(a.Body.data(), (qint64)a.Body.size());
    s->disconnectFromHost();
}

} // namespace sf
