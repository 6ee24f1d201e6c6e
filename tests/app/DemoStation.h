// One station on a fake clock reading the demo feed in a given layout, with the program's
// own fetch, conversions and cycle.
#pragma once
#include "app/DemoServer.h"
#include "core/Files.h"
#include "core/Shared.h"
#include "cycle/Cycle.h"
#include "cycle/CycleWiring.h"
#include "imaging/Convert.h"
#include "net/Fetch.h"
#include "support/ScriptedDialogs.h"
#include <memory>
#include <string>

namespace sf::test {

struct TDemoStation {
    TDemoStation(const IClock& clock, const TDemoServer& server, TLayout layout, const std::string& home,
                 const std::string& underlays)
        : S(clock, Dialogs)
    {
        S.ProgramDir = home;
        S.QuorUnderlayPath = underlays;
        ForceDirectories(home);
        ForceDirectories(underlays);
        S.RidgeBase = server.RidgeBase();
        S.RidgeNatBase = server.RidgeNatBase();
        S.IemBase = server.IemBase();
        S.WmsBase = server.WmsBase();
        S.Layout = layout;
        S.SaveGifChk.Checked = false;
        S.LegendChk.Checked = true;
        S.TargetCmb.Items = {underlays};
        S.ReadMemory = [] { return TMemoryStatus{}; };
        S.RidgeTimer.SetInterval(5000);
        Fetch = std::make_unique<TWebFetch>(S);
        Converter = std::make_unique<TConverter>(S);
        Cycle = std::make_unique<TCycle>(S, ProgramCycleServices(S, *Fetch, *Converter));
    }
    TRadarObj& Add(const std::string& radar, const std::string& product)
    {
        TRadarObj r = TRadarObj::Create(S.Clock);
        r.SetNames(radar, product, S.Naming());
        return *S.List.Add(radar + "\t" + product, r);
    }
    bool Has(const std::string& name) const { return FileExists(S.QuorUnderlayPath + name); }

    TScriptedDialogs Dialogs;
    TShared S;
    std::unique_ptr<TWebFetch> Fetch;
    std::unique_ptr<TConverter> Converter;
    std::unique_ptr<TCycle> Cycle;
};

} // namespace sf::test
