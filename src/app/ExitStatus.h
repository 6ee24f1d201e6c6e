// The exit status of a run, decided in one place from how the run ended.
#pragma once

namespace sf {

/// How a run of the main object ended.
struct TRunEnd {
    bool Once = false;           ///< started with --once
    bool CreateFailed = false;   ///< a creation step failed (shown to the user)
    bool HostMissing = false;    ///< the first show found UI-View32 missing and closed
    bool MapServerFound = true;  ///< host discovery found the map server's folder
    int FetchAttempts = 0;       ///< fetches the run attempted
    int FetchFailures = 0;       ///< of those, the ones that failed
};

/// kExitStartFailed for --once after a failed creation step; kExitNoMapServer when the host
/// program was missing, or for --once without a map-server folder; kExitAllFetchesFailed for
/// --once when fetches were attempted and every one failed; kExitOk otherwise.
int RunExitStatus(const TRunEnd& end);

} // namespace sf
