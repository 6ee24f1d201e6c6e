// The demonstration feed: a program folder of its own, a Wine-prefix-shaped host
// holding UI-View32 and a map server, an embedded RIDGE-layout web server with
// generated radar in both source layouts, a host link that accepts everything, and a seeded download list.
#pragma once
#include "app/DemoServer.h"
#include "core/SourceLayout.h"
#include <vector>
#include <memory>
#include <string>

namespace sf {

class IClock;
class TMain;
class TConsoleView;

/// The generated radar of the image pipeline, as the demo server serves it.
TDemoRadarSource DemoRadarSource();

/// Writes the host programs' registry and ini files under prefix (a folder ending in
/// "/"): UI-View32 in C:\UIView32\ showing the map server QuorServer9, whose underlay
/// directory is "Quor Underlays" and whose UNDERLAY names underlayName. False with a
/// message on failure. Existing files are rewritten.
bool BuildDemoHost(const std::string& prefix, const std::string& underlayName, std::string* error);

class TDemoFeed {
public:
    TDemoFeed(std::string programDir, const IClock& clock, TDemoRadarSource source = DemoRadarSource());
    ~TDemoFeed();
    /// Builds the host, starts the server, points the settings at it and seeds the
    /// download list when none exists. Runs before the main object is created.
    bool Prepare(std::string* error);
    /// The Wine prefix of the demo host (ends in "/").
    std::string WinePrefix() const { return m_programDir + "wine/"; }
    /// Gives the main object the host link that accepts every call.
    void Attach(TMain& main);
    /// Tells where the feed and the underlays are, after the creation steps.
    void Started(TConsoleView& view);
    const TDemoServer& Server() const { return *m_server; }
    /// The settings file's name, the one the program reads (named after the executable).
    std::string SettingsName = "stormfetch.ini";
    /// The source layout the program reads the feed in (the feed publishes both).
    TLayout Layout = TLayout::Ridge;
    /// The layouts asked after it ("--demo --layout nwswms,iem").
    std::vector<TLayout> Fallbacks;

private:
    std::string m_programDir;
    const IClock& m_clock;
    std::unique_ptr<TDemoServer> m_server;
    TMain* m_main = nullptr;
};

} // namespace sf
