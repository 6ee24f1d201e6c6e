// A station of several source layouts ("Layout=nwswms,iem"): the first layout is asked;
// while it fails, does not offer the product, or its newest image is stalled, the next
// is asked too, and the layout with the newest image serves the attempt (PickLayout).
// The record stays one record: its local names, series and last image time carry across
// layouts, so a switch never fetches a picture twice nor goes back in time.
#include "cycle/Cycle.h"

namespace sf {

void TCycle::UseLayout(TLayout layout, bool first)
{
    TRadarObj& w = *m_work;
    m_layout = &LayoutOf(layout);
    m_keepAddresses = !first;
    if (first) {
        // The record's own addresses: they may be an alternate source or an address of its own.
        w.ImageURL = m_ownImageURL;
        w.WorldURL = m_ownWorldURL;
        w.LegendName = m_ownLegendName;
    } else {
        TNaming naming = m_s.Naming();
        naming.Layout = layout;
        const TRecordUrls urls = m_layout->Urls(w, naming);
        w.ImageURL = urls.Image;
        w.WorldURL = urls.World;
        w.LegendName = IsMosaicRecord(w) ? std::string() : m_layout->LegendFileName(w.RemoteName);
    }
    // The raw files are named as the serving layout names them; the underlay, its bounds
    // file and the series keep the record's own names (LocalName).
    m_worldName = m_layout->WorldFileName(w);
    m_imageName = m_layout->ImageFileName(w);
    m_pngSite = m_layout->PngSite() && !IsMosaicRecord(w);
}

TCycle::TNext TCycle::ChainNewness()
{
    TRadarObj& w = *m_work;
    const std::vector<TLayout> chain = LayoutChainOf(m_firstLayout->Id(), m_fallbacks);
    m_ownImageURL = w.ImageURL;
    m_ownWorldURL = w.WorldURL;
    m_ownLegendName = w.LegendName;
    const std::string entryStatus = w.Status;
    std::vector<TProbe> probes;
    std::vector<TLayoutAnswer> answers;
    TLayoutPick pick;
    do {
        UseLayout(chain[probes.size()], probes.empty());
        w.Status = entryStatus; // an HTTP error text of one layout is not another's
        TProbe p;
        if (Probe(p) == TNext::Stop)
            return TNext::Stop;
        if (p.Untested)
            return Proceed(p); // the record's own address, outside its layout: no test to compare
        p.Status = w.Status;
        probes.push_back(p);
        answers.push_back(p.Answer);
        pick = PickLayout(answers, chain.size(), Now(), StaleAfter(m_layout->NewImageMinutes(IsMosaicRecord(w))));
    } while (pick.AskNext);

    // Without any time the attempt ends on the first real failure (a layout that failed
    // rather than one without the product), the first layout's when there is none.
    size_t serve = 0;
    if (pick.Serve >= 0) {
        serve = (size_t)pick.Serve;
    } else {
        for (size_t i = 0; i < answers.size(); ++i)
            if (answers[i].Kind == TLayoutAnswer::TKind::Failed) {
                serve = i;
                break;
            }
    }
    UseLayout(chain[serve], serve == 0);
    w.Status = probes[serve].Status;
    if (serve > 0)
        w.ServedBy = chain[serve];
    if (Proceed(probes[serve]) == TNext::Stop)
        return TNext::Stop;
    if (serve > 0 && ListedIndex() >= 0) {
        // The status names the layout that served and why the first did not.
        w.Status += ServedFromText(chain[serve], chain[0], answers[0]);
        ShowRecordLine();
        CopyBack();
    }
    return TNext::Record;
}

} // namespace sf
