#include "core/Clock.h"
#include <chrono>
#include <ctime>

namespace sf {

namespace {
// Unix epoch (1 January 1970) as a day count since 30 December 1899.
constexpr double kUnixEpochDays = 25569.0;

double UnixMsNow()
{
    using namespace std::chrono;
    return (double)duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}
} // namespace

TDateTime TSystemClock::UTCNow() const
{
    return kUnixEpochDays + UnixMsNow() / 86400000.0;
}

TDateTime TSystemClock::LocalNow() const
{
    const double ms = UnixMsNow();
    const std::time_t secs = (std::time_t)(ms / 1000.0);
    std::tm local{};
    localtime_r(&secs, &local);
    return kUnixEpochDays + (ms + (double)local.tm_gmtoff * 1000.0) / 86400000.0;
}

} // namespace sf
