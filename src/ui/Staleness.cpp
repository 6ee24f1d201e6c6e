#include "ui/Staleness.h"
#include "app/Main.h"
#include "core/DateTime.h"
#include <algorithm>

namespace sf {

bool IsStale(const TRadarObj& rec, TDateTime utcNow)
{
    // A record that never delivered keeps its start value, 100 days back: nothing to age.
    if (!rec.Enabled || rec.LastImage <= utcNow - 7)
        return false;
    TDateTime interval = 10 * kOneMinute;
    if (rec.PrevImage > utcNow - 7 && rec.LastImage > rec.PrevImage)
        interval = rec.LastImage - rec.PrevImage;
    const TDateTime limit = std::max(3 * interval, 30 * kOneMinute);
    return utcNow - rec.LastImage > limit;
}

std::string StaleTip(const std::string& tip, int staleCount)
{
    if (staleCount <= 0)
        return TrayTipText(tip);
    const std::string note = staleCount == 1 ? "Radar stale! " : std::to_string(staleCount) + " radars stale! ";
    return TrayTipText(note + tip);
}

} // namespace sf
