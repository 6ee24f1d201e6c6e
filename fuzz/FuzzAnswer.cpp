// Feeds arbitrary bytes to the answer parser in pieces whose sizes come from the
// input itself, then closes; the parser must neither crash nor grow without bound.
#include "net/Answer.h"
#include "net/Url.h"
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    sf::TAnswerParser p;
    uint64_t body = 0;
    p.OnBody = [&](const char*, size_t n) { body += n; };
    size_t i = 0;
    const size_t step = size ? size_t(data[0] % 64) + 1 : 1;
    while (i < size) {
        const size_t n = std::min(step, size - i);
        p.Feed(reinterpret_cast<const char*>(data) + i, n);
        i += n;
    }
    p.Close();
    if (p.ContentLength >= 0 && uint64_t(p.ReceivedCount) > uint64_t(p.ContentLength) && p.TransferEncoding.empty())
        std::abort();
    if (uint64_t(p.ReceivedCount) != body)
        std::abort();
    // The relocation and request builders take any text as well.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string target = sf::ResolveLocation("http://h/a/b", text);
    (void)sf::BuildGetRequest(sf::SplitUrl(target), true, "a", "b");
    return 0;
}
