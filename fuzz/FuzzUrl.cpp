// URL split, join and relocation on arbitrary text: splitting the joined parts gives
// the same parts again, and every request built from them is one header block.
#include "FuzzCheck.h"
#include "net/Url.h"
#include <string>

using sf::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const sf::TUrlParts u = sf::SplitUrl(text);
    Check(!u.Path.empty(), "split path is never empty");
    Check(!u.Port.empty(), "split port is never empty");
    // Only a host that can be written back unambiguously must survive the round trip;
    // brackets, "@", "?" or "#" inside a host name are no URL anyone serves.
    if (!u.Host.empty() && u.Host.find_first_of("[]@?#") == std::string::npos) {
        const sf::TUrlParts again = sf::SplitUrl(sf::JoinUrl(u));
        Check(again.Host == u.Host && again.Port == u.Port && again.Path == u.Path,
              "split(join(split(x))) keeps host, port, path");
    }

    const std::string request = sf::BuildGetRequest(u, false, "*/*", "agent");
    Check(request.size() >= 4 && request.compare(request.size() - 4, 4, "\r\n\r\n") == 0, "request ends with the empty line");

    // The text as a relocation target seen on an answer from a plain URL.
    const std::string target = sf::ResolveLocation("http://host:8080/a/b/c.gif", text);
    Check(!target.empty(), "a relocation always names a target");
    (void)sf::BuildConnectRequest(sf::SplitUrl(target), "agent");
    std::string host, port;
    sf::SplitProxy(text, "8080", host, port);
    Check(!port.empty(), "a proxy always has a port");
    return 0;
}
