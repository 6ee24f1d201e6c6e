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
    return kExitOk;
}

} // namespace sf
