#include "core/layouts/Layout.h"
#include "core/RadarObj.h"
#include "core/Text.h"

namespace sf {

const ISourceLayout& RidgeLayout();
const ISourceLayout& IemLayout();
const ISourceLayout& WmsLayout();

std::string ISourceLayout::LegendFileName(const std::string& remoteName) const
{
    std::string name = remoteName + ".gif";
    const size_t at = name.find("_0");
    if (at != std::string::npos)
        name.insert(at, "_Legend");
    return name;
}

std::string ISourceLayout::NoProductStatus(const std::string& code, const std::string&) const
{
    return "Error product " + Trim(code) + " not offered by the " + Name() + " layout";
}

std::string ProductCodeOf(const std::string& productLine)
{
    if (FieldCount(productLine, ',') < 2)
        return {};
    return Trim(GetField(productLine, 2, ','));
}

bool IsMosaicRecord(const TRadarObj& r)
{
    return StartsWith(r.Radar, "!!");
}

const ISourceLayout& LayoutOf(TLayout layout)
{
    switch (layout) {
    case TLayout::Iem:
        return IemLayout();
    case TLayout::Wms:
        return WmsLayout();
    case TLayout::Ridge:
        break;
    }
    return RidgeLayout();
}

const std::vector<const ISourceLayout*>& AllLayouts()
{
    static const std::vector<const ISourceLayout*> all = {&RidgeLayout(), &IemLayout(), &WmsLayout()};
    return all;
}

std::string LayoutNamesText()
{
    std::string text;
    const auto& all = AllLayouts();
    for (size_t i = 0; i < all.size(); ++i)
        text += (i == 0 ? "" : i + 1 == all.size() ? " or " : ", ") + std::string(all[i]->Name());
    return text;
}

} // namespace sf
