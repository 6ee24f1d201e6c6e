// Parses arbitrary bytes as a command-channel request and as a reply line; a parsed
// request must format back to the same line.
#include "app/ChannelProtocol.h"
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    sf::TChannelRequest request;
    std::string error;
    if (sf::ParseRequest(line, request, error)) {
        std::string again;
        if (!sf::FormatRequest(request, again) || again != line)
            std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    sf::TReplyLine reply;
    if (sf::ParseReplyLine(line, reply)) {
        sf::TReplyLine back;
        if (!sf::ParseReplyLine(sf::FormatReplyLine(reply), back) || back.Kind != reply.Kind)
            std::abort();
    }
    return 0;
}
