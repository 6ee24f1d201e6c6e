// The download-and-process cycle: walks the download list once and brings every
// enabled, due record up to date, either from the RIDGE web server (Server mode)
// or from the raw files a server left in the underlay directory (Client mode).
#pragma once
#include "core/Shared.h"
#include "core/layouts/Layout.h"
#include "core/layouts/LayoutChain.h"
#include "cycle/CycleServices.h"
#include "net/WmsCapabilities.h"
#include <memory>
#include <cstdint>
#include <string>
#include <vector>

namespace sf {

class TCycle {
public:
    TCycle(TShared& shared, TCycleServices services);
    /// Runs one cycle over the whole list; never raises. Stops early on the cancel flag.
    void Run();
    /// True while Run is on the stack.
    bool Running() const { return m_running; }
    /// The services, for late wiring.
    TCycleServices& Services() { return m_svc; }

private:
    enum class TNext { Record, Stop };

    TNext DoRecord(int index);
    /// The first record of the list not yet visited in this run, -1 when none is left.
    int NextUnvisited() const;
    /// What one layout's newness test found for the working record; nothing of the
    /// record's failure handling has run yet.
    struct TProbe {
        TNewnessKind Kind = TNewnessKind::None;
        TLayoutAnswer Answer;
        bool Untested = false;    ///< an address outside the layout: fetched without a test
        bool Unavailable = false; ///< failed because the fetch failed (else: no time in the answer)
        std::string Url;          ///< the address asked
        std::string Detail;       ///< why the answer gave no time
        std::string Status;       ///< the record's status the test left (an HTTP error text)
        TWmsCapabilities Caps;    ///< nwswms: the layer's time and box
    };
    /// The newness test of m_layout for the working record, by the layout's kind.
    TNext Probe(TProbe& p);
    TNext ProbeListing(TProbe& p, bool mosaic);
    TNext ProbeIem(TProbe& p);
    TNext ProbeWms(TProbe& p);
    /// Ends the attempt on what the test found: the failure table, or the verdict and the fetch.
    TNext Proceed(const TProbe& p);
    TNext WmsFetch(const TWmsCapabilities& caps);
    /// A station of several layouts: asks them in order (PickLayout) and goes on with the one that serves.
    TNext ChainNewness();
    /// Points the attempt at a layout of the chain: its addresses and raw file names.
    void UseLayout(TLayout layout, bool first);
    TNext ProductNotOffered();
    TNext NewnessVerdict(TDateTime imageTime, TDateTime interval, bool& isNew);
    TNext FetchLegend();
    TNext FetchImages();
    TNext Processing();
    TNext Collect(bool& ended);
    TNext ConvertSite();
    TNext ConvertMosaic();
    void Finish();
    void StopRun();
    void GeneralError(const std::string& message);

    // Failure table.
    void ListingUnavailable(bool mosaic);
    void NoListingDate(bool mosaic, const std::string& detail = {});
    void WorldNotDownloaded();
    void WorldUnusable();
    void ImageNotDownloaded();
    void SiteConversionFailed();
    void SiteConversionRaised(const std::string& message);
    void MosaicConversionFailed(int& step);
    void MosaicConversionRaised(int step, const std::string& message);

    bool SetStatusUnlessError(const std::string& text);
    /// A 404 from the retired official RIDGE host: the status and the error log say so.
    void HintRetiredHost(const std::string& url);
    void AdvanceSelector();
    void ShowRecordLine();
    void CopyBack();
    int ListedIndex() const;
    void DeleteIfExists(const std::string& path);
    void DeleteRawImage();
    void LogMemoryAroundError();
    void SetTrayTip();
    TDateTime Now() const;
    std::string Local(const char* pattern) const;
    std::string StatusAtTime() const;
    bool Cancelled() const { return m_s.Cancel; }

    TShared& m_s;
    TCycleServices m_svc;
    bool m_running = false;
    bool m_retiredLogged = false; ///< the retired-host hint went to the error log (once a program run)

    // Values of one run.
    bool m_client = false;
    TDateTime m_start = 0;
    TDateTime m_offset = 0;
    std::string m_ridgeBase, m_natBase, m_workDir;
    const ISourceLayout* m_layout = nullptr; ///< the source layout of the attempt
    const ISourceLayout* m_firstLayout = nullptr; ///< the station's (first) layout in this run
    std::vector<TLayout> m_fallbacks;        ///< the layouts asked after it in this run
    int m_downloaded = 0, m_processed = 0, m_disabled = 0, m_notDue = 0;
    std::string m_processedList;
    std::unique_ptr<TRadarObj> m_work;
    std::vector<uint64_t> m_visited; ///< identities of the records this run has taken up

    // Values of one record.
    int m_index = -1;
    uint64_t m_recId = 0; ///< identity of the list entry being worked on (an address may be reused)
    TDateTime m_jitter = 0;
    TDateTime m_reference = 0;
    std::string m_memReport, m_worldName, m_imageName, m_listingFile;
    bool m_pngSite = false; ///< a site record whose raw image is a PNG
    /// While a later layout serves the attempt, the listed record keeps its own addresses.
    bool m_keepAddresses = false;
    std::string m_ownImageURL, m_ownWorldURL, m_ownLegendName;
};

} // namespace sf
