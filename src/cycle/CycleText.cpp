#include "cycle/CycleText.h"
#include "core/Text.h"
#include <cmath>
#include <cstdio>

namespace sf {

bool IsPngMosaicName(const std::string& remoteName)
{
    const std::string u = UpperCase(remoteName);
    return u == "N0R_0" || u.find("01_USRAD") != std::string::npos;
}

std::string WorldFileNameOf(const std::string& remoteName)
{
    return remoteName + (IsPngMosaicName(remoteName) ? ".wld" : ".gfw");
}

std::string ImageFileNameOf(const std::string& remoteName)
{
    return remoteName + (IsPngMosaicName(remoteName) ? ".png" : ".gif");
}

std::string LegendNameOf(const std::string& remoteName)
{
    std::string name = remoteName;
    const size_t at = name.find("_0");
    name.insert(at == std::string::npos ? 0 : at, "_Legend");
    return name + ".gif";
}

std::string SiteListingURL(const std::string& ridgeBase, const std::string& remoteName)
{
    const std::string site = GetField(remoteName, 1, '_');
    const std::string code = GetField(remoteName, 2, '_');
    return ridgeBase + code + "/" + site + "/";
}

std::string URLFolder(const std::string& url)
{
    const size_t slash = url.rfind('/');
    return slash == std::string::npos ? std::string() : url.substr(0, slash + 1);
}

std::string MosaicListingURL(const std::string& imageURL)
{
    return URLFolder(imageURL) + "?C=N;O=A";
}

std::string LegendURL(const std::string& ridgeBase, const std::string& legendName)
{
    const size_t at = UpperCase(ridgeBase).find("RADARIMG");
    const std::string root = at == std::string::npos ? std::string() : ridgeBase.substr(0, at);
    const std::string code = legendName.size() > 4 ? legendName.substr(4, 3) : std::string();
    return root + "Legend/" + code + "/" + legendName;
}

bool StartsWithText(const std::string& text, const std::string& prefix)
{
    return !prefix.empty() && StartsText(text, prefix);
}

TDateTime JitterAt(TDateTime utcNow)
{
    int s = DecodeDateTime(utcNow).Second;
    if (s > 10)
        s /= 10;
    return s * kOneSecond;
}

TDateTime ReferenceTime(TDateTime lastImage, TDateTime utcNow)
{
    return lastImage > utcNow - 1.0 ? lastImage : utcNow - 0.95;
}

std::string ProcessedListText(const std::string& list)
{
    std::string t = Trim(list);
    size_t i = 0;
    while (i < t.size() && t[i] == ',')
        ++i;
    return t.substr(i);
}

TDateTime NextAfterNewImage(TDateTime imageTime, TDateTime interval, TDateTime utcNow, TDateTime jitter)
{
    return (imageTime + interval > utcNow ? imageTime + interval : utcNow + kOneMinute) + jitter;
}

} // namespace sf
