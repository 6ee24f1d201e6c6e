// The host programs' text decoding on arbitrary bytes: Windows-1252 and UTF-16LE
// become valid UTF-8, a 1252 text keeps one character per byte, the ini reader
// hands back valid UTF-8, and a Windows path splits into folder + file name.
#include "FuzzCheck.h"
#include "host/HostDiscovery.h"
#include "host/HostText.h"
#include <vector>

using sf::fuzz::Check;

namespace {

size_t CodePoints(const std::string& utf8)
{
    size_t n = 0;
    for (unsigned char c : utf8)
        n += (c & 0xC0) != 0x80;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string latin = sf::Windows1252ToUtf8(bytes);
    Check(sf::fuzz::ValidUtf8(latin), "Windows-1252 decodes to valid UTF-8");
    Check(CodePoints(latin) == size, "Windows-1252 keeps one character per byte");

    const std::string wide = sf::Utf16LeBytesToUtf8(std::vector<uint8_t>(data, data + size));
    Check(sf::fuzz::ValidUtf8(wide), "UTF-16LE decodes to valid UTF-8");
    std::vector<uint16_t> units(size / 2);
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = uint16_t(data[2 * i] | (data[2 * i + 1] << 8));
    Check(sf::fuzz::ValidUtf8(sf::Utf16ToUtf8(units)), "UTF-16 units decode to valid UTF-8");

    Check(sf::WinFolderPart(bytes) + sf::WinFileName(bytes) == bytes, "folder part + file name is the path");

    static const std::string path = sf::fuzz::ScratchPath(".ini");
    if (sf::fuzz::WriteBytes(path, data, size))
        Check(sf::fuzz::ValidUtf8(sf::ReadHostIniText(path)), "host ini text reads as valid UTF-8");
    return 0;
}
