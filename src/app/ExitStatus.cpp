#include "app/ExitStatus.h"
#include "app/CommandLine.h"

namespace sf {

int RunExitStatus(const TRunEnd& end)
{
    // A script running --once must learn that a stored file was not loaded before anything else.
    if (end.Once && end.CreateFailed)
        return kExitStartFailed;
    if (end.HostMissing)
        return kExitNoMapServer;
    if (end.Once && !end.MapServerFound)
        return kExitNoMapServer;
    // A monitor alerts on a tick that reached nothing at all.
    if (end.Once && end.FetchAttempts > 0 && end.FetchFailures == end.FetchAttempts)
        return kExitAllFetchesFailed;
    return kExitOk;
}

} // namespace sf
