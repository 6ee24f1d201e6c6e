#include "net/DownloadLimits.h"
#include "core/Text.h"

namespace sf {

int64_t DownloadCap(const std::string& localPath)
{
    const size_t slash = localPath.find_last_of("/\\");
    const std::string name = LowerCase(slash == std::string::npos ? localPath : localPath.substr(slash + 1));
    const size_t dot = name.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    if (ext == ".htm" || ext == ".html")
        return kMaxListingBytes;
    if (ext == ".gfw" || ext == ".wld")
        return kMaxWorldFileBytes;
    if (ext == ".gif")
        return name.find("_legend") != std::string::npos ? kMaxLegendBytes : kMaxSiteImageBytes;
    if (ext == ".png")
        return name.find("_legend") != std::string::npos ? kMaxLegendBytes : kMaxMosaicBytes;
    // A map layer's capabilities: a few KB; the reader refuses more than its own bound
    // with a reason, and the fetch stops far above that.
    if (ext == ".xml")
        return kMaxLegendBytes;
    return kMaxShapefileBytes;
}

} // namespace sf
