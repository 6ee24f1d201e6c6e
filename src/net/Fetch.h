// Turning one URL into one local file: the radar fetch on RidgeCli guarded by
// RidgeTimer, and the shapefile fetch on ShpCli guarded by its own timer. Both
// report on the shared labels and leave their verdict in TShared::FetchResult.
#pragma once
#include "core/Shared.h"
#include "net/HttpCli.h"
#include <cstdint>
#include <memory>
#include <string>

class QObject;

namespace sf {

class TRadarObj;

/// "Ready", "Not connected", ... for a client state; "State unknown" for other values.
std::string StateText(int state);

class TWebFetch {
public:
    /// Wires RidgeTimer's OnTimer and RidgeCli's events; the timer intervals come from RidgeTimer.
    explicit TWebFetch(TShared& s);
    ~TWebFetch();
    TWebFetch(const TWebFetch&) = delete;
    TWebFetch& operator=(const TWebFetch&) = delete;

    /// Fetches url into localPath on RidgeCli; true when the file is complete. An HTTP
    /// error writes "Error <code> <reason>" into record->Status (record may be null).
    /// Throws only for non-HTTP errors (the local file cannot be created).
    bool FetchFile(const std::string& url, const std::string& localPath, TRadarObj* record);
    /// Fetches url into localPath on ShpCli; true when complete (90 bytes or more). Never throws.
    bool FetchShapefile(const std::string& url, const std::string& localPath);
    /// The close path: ends any running fetch (RidgeCli aborted, ShpCli aborted).
    void Abort();

    THttpCli& RidgeCli() { return m_ridge; }
    THttpCli& ShpCli() { return m_shp; }
    TTimer& ShpTimer() { return m_shpTimer; }
    bool ShpTimedOut() const { return m_shpTimedOut; }
    /// Shapefiles fetched successfully and their byte total since the last reset.
    int32_t ShapeCount() const { return m_shapeCount; }
    int32_t ShapeBytes() const { return m_shapeBytes; }
    void ResetShapeCounters() { m_shapeCount = 0; m_shapeBytes = 0; }

    // Event handlers (public so the window and tests can drive them).
    void RidgeTimerTimer();
    void ShpTimerTimer();
    void RidgeCliDocData(THttpCli& cli);
    void RidgeCliStateChange(THttpCli& cli);
    void RidgeCliSocketError();

private:
    /// Starts the size and overall-time limits of a request on one client.
    void StartLimits(bool ridge, const std::string& localPath);
    /// A limit was passed: notes why and ends the request once the client is between blocks.
    void StopForLimit(bool ridge, const std::string& why);
    void LimitTimer(bool ridge);

    TShared& m_s;
    THttpCli m_ridge{"RidgeCli"};
    THttpCli m_shp{"ShpCli"};
    TTimer m_shpTimer{"ShpTimer", 7000, false};
    bool m_shpTimedOut = false;
    bool m_ridgeRunning = false;
    bool m_shpRunning = false;
    int32_t m_shapeCount = 0;
    int32_t m_shapeBytes = 0;
    // Limits of the running request on each client: its size cap, its overall time
    // (kOverallTimeOutFactor x WebTimeOut) and why a limit ended it ("" when none did).
    TTimer m_ridgeLimit{"RidgeLimit", 210000, false};
    TTimer m_shpLimit{"ShpLimit", 210000, false};
    int64_t m_ridgeCap = INT64_MAX, m_shpCap = INT64_MAX;
    std::string m_ridgeStop, m_shpStop;
    std::unique_ptr<QObject> m_ctx; ///< context of the deferred ends
};

} // namespace sf
