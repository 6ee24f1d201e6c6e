// The subsystem objects the main object owns (kept out of Main.h so that the
// interface of TMain does not change as subsystems are added). Declared in the
// order they are built; they go in the reverse order.
#pragma once
#include "app/Main.h"
#include "core/LogPrune.h"
#include "cycle/Cycle.h"
#include "cycle/Scheduler.h"
#include "host/HostLink.h"
#include "host/UiViewClient.h"
#include "imaging/Convert.h"
#include "imaging/LoopPlayer.h"
#include "net/Fetch.h"
#include "warnings/ShpDownload.h"
#include <memory>

namespace sf {

struct TMain::TParts {
    std::unique_ptr<TclsUIV> PendingClient; ///< a link adapter given before the wiring
    std::unique_ptr<TWebFetch> Web;         ///< RidgeCli, ShpCli and their time-outs
    std::unique_ptr<THostLink> HostLink;
    std::unique_ptr<TConverter> Converter;  ///< the working images of the conversions
    std::unique_ptr<TCycle> Cycle;
    std::unique_ptr<TScheduler> Scheduler;
    std::unique_ptr<TShpDownload> ShpRun;
    std::unique_ptr<TLogPruner> LogPruner;  ///< the daily error logs kept KeepLogDays days
    std::unique_ptr<TLoopPlayer> Loop;      ///< Timer1, loop playback, zoom and the delete commands
};

} // namespace sf
