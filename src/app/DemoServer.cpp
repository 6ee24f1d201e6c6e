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
constexpr int kListingImages = 13; // the last hour, both ends included

std::string HttpHead(int code, const std::string& type, size_t length)
{
    std::string reason = code == 200 ? "OK" : code == 400 ? "Bad Request" : "Not Found";
    return "HTTP/1.0 " + std::to_string(code) + " " + reason + "\r\nContent-Type: " + type
        + "\r\nContent-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n";
}

/// Parses "<prefix>_yyyymmdd_hhnn_..." back into a time; false when the name has none.
bool TimeOfName(const std::string& name, TDateTime& out)
{
    std::string d = GetField(name, 2, '_'), t = GetField(name, 3, '_');
    if (d.size() != 8 || t.size() < 4)
        return false;
    long long ymd = 0, hm = 0;
    if (!TryStrToInt(d, ymd) || !TryStrToInt(t.substr(0, 4), hm))
        return false;
    TDateFields f;
    f.Year = (int)(ymd / 10000);
    f.Month = (int)(ymd / 100 % 100);
    f.Day = (int)(ymd % 100);
    f.Hour = (int)(hm / 100);
    f.Minute = (int)(hm % 100);
    if (f.Month < 1 || f.Month > 12 || f.Day < 1 || f.Day > 31 || f.Hour > 23 || f.Minute > 59)
        return false;
    out = EncodeDateTime(f);
    return true;
}

std::vector<TDateTime> LastHour(TDateTime utc)
{
    std::vector<TDateTime> times;
    TDateTime newest = DemoImageTime(utc);
    for (int i = kListingImages - 1; i >= 0; --i)
        times.push_back(newest - i * kSlotMinutes * kOneMinute);
    return times;
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
    if (TDemoAnswer iem = DemoIemAnswer(path, utc, src); iem.Code == 200)
        return iem;
    const std::string site = "/ridge/RadarImg/", legend = "/ridge/Legend/", nat = "/ridge/Conus/RadarImg/";
    const std::string shapes = kDemoShapePath;
    const TDateTime now = DemoImageTime(utc);

    if (SameText(path, nat)) {
        std::vector<std::string> files;
        for (TDateTime t : LastHour(utc)) {
            files.push_back(DemoTimedName("CONUS", t, "_N0R.gif"));
            files.push_back(DemoTimedName("CONUS", t, "_N0R_small.gif"));
        }
        files.push_back("ConUS.gfw");
        files.push_back("ConUS.gif");
        files.push_back("N0R_0.gfw");
        files.push_back("N0R_0.gif");
        return DemoFound("text/html", DemoListingPage(nat, files));
    }
    if (StartsWith(UpperCase(path), UpperCase(nat))) {
        std::string name = path.substr(nat.size());
        auto call = [](const auto& f, auto... args) { return f ? f(args...) : std::string(); };
        if (SameText(name, "ConUS.gif"))
            return DemoFound("image/gif", call(src.MosaicGif, now));
        if (SameText(name, "ConUS.gfw"))
            return DemoFound("text/plain", call(src.MosaicGifWorld));
        if (SameText(name, "N0R_0.gif"))
            return DemoFound("image/png", call(src.MosaicPng, now));
        if (SameText(name, "N0R_0.gfw"))
            return DemoFound("text/plain", call(src.MosaicPngWorld));
        TDateTime t = 0;
        if (StartsWith(UpperCase(name), "CONUS_") && EndsWith(name, ".gif") && TimeOfName(name, t) && t <= now)
            return DemoFound("image/gif", call(src.MosaicGif, t));
        return {};
    }
    if (StartsWith(path, shapes))
        return DemoFound("application/octet-stream", DemoShapefile(path.substr(shapes.size()), utc));
    if (StartsWith(path, legend)) {
        // /ridge/Legend/<product>/<site>_<product>_Legend_0.gif
        std::string rest = path.substr(legend.size());
        std::string product = GetField(rest, 1, '/'), file = GetField(rest, 2, '/');
        if (FieldCount(rest, '/') != 2 || !EndsWith(file, "_Legend_0.gif") || !src.Legend)
            return {};
        return DemoFound("image/gif", src.Legend(GetField(file, 1, '_'), product));
    }
    if (StartsWith(path, site)) {
        std::string rest = path.substr(site.size());
        int parts = FieldCount(rest, '/');
        std::string product = GetField(rest, 1, '/');
        if (parts == 2) {
            // <product>/<site>_<product>_0.gif or .gfw
            std::string file = GetField(rest, 2, '/');
            std::string id = GetField(file, 1, '_');
            if (file == id + "_" + product + "_0.gif" && src.SiteGif)
                return DemoFound("image/gif", src.SiteGif(id, product, now));
            if (file == id + "_" + product + "_0.gfw" && src.SiteWorld)
                return DemoFound("text/plain", src.SiteWorld(id, product));
            return {};
        }
        if (parts == 3) {
            std::string id = GetField(rest, 2, '/'), file = GetField(rest, 3, '/');
            if (id.empty() || product.empty())
                return {};
            if (file.empty()) {
                // The archive: every image of the last hour, named with its UTC time.
                if (!src.SiteWorld || src.SiteWorld(id, product).empty())
                    return {};
                std::vector<std::string> files;
                for (TDateTime t : LastHour(utc))
                    files.push_back(DemoTimedName(id, t, "_" + product + ".gif"));
                return DemoFound("text/html", DemoListingPage(site + product + "/" + id + "/", files));
            }
            TDateTime t = 0;
            if (TimeOfName(file, t) && t <= now && EndsWith(file, "_" + product + ".gif") && src.SiteGif)
                return DemoFound("image/gif", src.SiteGif(id, product, t));
            return {};
        }
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
    }
    if (a.Code != 200)
        a.Body = "<html><body>" + std::to_string(a.Code) + "</body></html>";
    std::string head2 = HttpHead(a.Code, a.ContentType, a.Body.size());
    s->write(head2.data(), (qint64)head2.size());
    s->write(a.Body.data(), (qint64)a.Body.size());
    s->disconnectFromHost();
}

} // namespace sf
