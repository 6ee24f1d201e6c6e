// The scheduler: a 10-second tick that checks the map host, watches memory, starts
// the cycle when a record is due and announces the next attempt; a one-minute tick
// that refreshes the map host's state; and the forced download of one record.
#pragma once
#include "core/Shared.h"
#include <functional>

namespace sf {

class TScheduler {
public:
    /// Wires TShared::Process and TShared::MinTimer to the two ticks. runCycle runs the
    /// download-and-process cycle; ridgeReady tells whether the radar client is ready.
    TScheduler(TShared& shared, std::function<void()> runCycle, std::function<bool()> ridgeReady = {});
    ~TScheduler();
    TScheduler(const TScheduler&) = delete;
    TScheduler& operator=(const TScheduler&) = delete;

    /// The scheduler tick (handler of Process).
    void ProcessTimer();
    /// The one-minute tick (handler of MinTimer): refresh of the map host's state.
    void MinTimerTimer();
    /// The Download/Process button: makes the grid's current record due and runs the cycle.
    void DownloadBtnClick();
    /// The grid pop-up item: the forced download when the list has records and the button is enabled.
    void Downloadcurrentrecord1Click();

private:
    void MapChecks(bool& suspended);
    void MemoryWatch();
    void ShowHeap();
    void TickBody();
    void ClosingSteps();
    void RefreshUiView();

    TShared& m_s;
    std::function<void()> m_runCycle;
    std::function<bool()> m_ridgeReady;
};

/// True when the scheduler and the cycle work on the record: enabled and validly named.
bool IsActiveRecord(const TRadarObj& rec);

} // namespace sf
