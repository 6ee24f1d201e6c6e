#include "net/Url.h"
#include "core/Text.h"

namespace sf {

namespace {

bool IsSchemeChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

/// Length of "scheme:" when text begins with scheme "://", else 0.
size_t SchemeLength(const std::string& text)
{
    const size_t p = text.find("://");
    if (p == std::string::npos || p == 0)
        return 0;
    for (size_t i = 0; i < p; ++i)
        if (!IsSchemeChar(text[i]))
            return 0;
    return p;
}

std::string HostForLine(const std::string& host)
{
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

} // namespace

std::string DefaultPort(const std::string& scheme)
{
    return scheme == "https" ? "443" : "80";
}

TUrlParts SplitUrl(const std::string& url)
{
    TUrlParts u;
    std::string rest = url;
    if (const size_t n = SchemeLength(rest)) {
        u.Scheme = LowerCase(rest.substr(0, n));
        rest = rest.substr(n + 3);
    }
    const size_t slash = rest.find('/');
    std::string authority = slash == std::string::npos ? rest : rest.substr(0, slash);
    u.Path = slash == std::string::npos ? "/" : rest.substr(slash);
    // A query straight after the authority ("host?x") still belongs to the path.
    if (const size_t q = authority.find('?'); q != std::string::npos) {
        u.Path = "/" + authority.substr(q) + (slash == std::string::npos ? "" : u.Path);
        authority.resize(q);
    }
    if (const size_t at = authority.rfind('@'); at != std::string::npos) {
        const std::string cred = authority.substr(0, at);
        authority = authority.substr(at + 1);
        const size_t colon = cred.find(':');
        u.User = cred.substr(0, colon);
        if (colon != std::string::npos)
            u.Password = cred.substr(colon + 1);
    }
    std::string portText;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        u.Host = authority.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (close != std::string::npos && close + 1 < authority.size() && authority[close + 1] == ':')
            portText = authority.substr(close + 2);
    } else {
        const size_t colon = authority.rfind(':');
        u.Host = authority.substr(0, colon);
        if (colon != std::string::npos)
            portText = authority.substr(colon + 1);
    }
    // A port holds no ":" ("[h]:1:", "[::1]:80:81"): such a URL names no server it could
    // be written back to, so it is refused with an empty host, which no lookup accepts.
    if (portText.find(':') != std::string::npos) {
        u.Host.clear();
        portText.clear();
    }
    u.PortGiven = !portText.empty();
    u.Port = u.PortGiven ? portText : DefaultPort(u.Scheme);
    return u;
}

std::string JoinUrl(const TUrlParts& u)
{
    return u.Scheme + "://" + HostForLine(u.Host) + (u.PortGiven ? ":" + u.Port : std::string()) + u.Path;
}

void SplitProxy(const std::string& proxy, const std::string& defaultPort, std::string& host, std::string& port)
{
    const TUrlParts p = SplitUrl(proxy);
    host = p.Host;
    port = p.PortGiven ? p.Port : defaultPort;
}

std::string ResolveLocation(const std::string& current, const std::string& location)
{
    if (SchemeLength(location))
        return location;
    TUrlParts u = SplitUrl(current);
    if (StartsWith(location, "//"))
        return u.Scheme + ":" + location;
    if (StartsWith(location, "/")) {
        u.Path = location;
    } else {
        std::string base = u.Path;
        const size_t q = base.find('?');
        if (q != std::string::npos)
            base.resize(q);
        u.Path = base.substr(0, base.rfind('/') + 1) + location;
    }
    return JoinUrl(u);
}

std::string BuildGetRequest(const TUrlParts& u, bool viaProxy, const std::string& accept, const std::string& agent)
{
    const std::string target = viaProxy ? JoinUrl(u) : u.Path;
    std::string host = HostForLine(u.Host);
    if (u.Port != DefaultPort(u.Scheme))
        host += ":" + u.Port;
    return "GET " + target + " HTTP/1.0\r\n"
           "Accept: " + accept + "\r\n"
           "User-Agent: " + agent + "\r\n"
           "Host: " + host + "\r\n"
           "\r\n";
}

std::string BuildConnectRequest(const TUrlParts& u, const std::string& agent)
{
    const std::string hostPort = HostForLine(u.Host) + ":" + u.Port;
    return "CONNECT " + hostPort + " HTTP/1.0\r\n"
           "User-Agent: " + agent + "\r\n"
           "Host: " + hostPort + "\r\n"
           "\r\n";
}

} // namespace sf
