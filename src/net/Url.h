// Pure request-side work of the HTTP client: splitting a URL, resolving a
// relocation target and building the exact request bytes. No sockets here.
#pragma once
#include <string>

namespace sf {

/// The parts of a URL as the client uses them.
struct TUrlParts {
    std::string Scheme = "http"; ///< lower case; "http" when the URL names none
    std::string User;
    std::string Password;
    std::string Host;            ///< without brackets for an IPv6 literal
    std::string Port;            ///< as written, else the scheme's default ("80", "443")
    bool PortGiven = false;      ///< true when the URL wrote a port
    std::string Path = "/";      ///< path with query; "/" when empty
};

/// Default port of a scheme: "443" for https, "80" for everything else.
std::string DefaultPort(const std::string& scheme);
/// Splits [scheme://][user[:password]@]host[:port][/path]; never fails. A port written
/// with a ":" in it leaves Host empty (and the port the default): no server is named.
TUrlParts SplitUrl(const std::string& url);
/// The URL again from its parts (port written only when it was given).
std::string JoinUrl(const TUrlParts& u);
/// Splits a proxy text "host[:port]"; the port is defaultPort when none is written.
void SplitProxy(const std::string& proxy, const std::string& defaultPort, std::string& host, std::string& port);
/// Target of a Location value seen on an answer to current: an absolute URL replaces
/// everything, "//host/.." keeps the scheme, "/.." replaces the path, anything else is
/// appended to the current path up to its last "/".
std::string ResolveLocation(const std::string& current, const std::string& location);
/// The GET request bytes: request line (absolute-form target when viaProxy), Accept,
/// User-Agent, Host (port only when not the scheme's default), each ended by CR LF, then
/// the empty line.
std::string BuildGetRequest(const TUrlParts& u, bool viaProxy, const std::string& accept, const std::string& agent);
/// The CONNECT request that opens a tunnel through a proxy to host:port.
std::string BuildConnectRequest(const TUrlParts& u, const std::string& agent);

} // namespace sf
