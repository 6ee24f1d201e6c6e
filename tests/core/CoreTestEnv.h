// A shared state on a fake clock, scripted dialogs and a temporary program folder.
#pragma once
#include "core/DateTime.h"
#include "core/Shared.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace sf::test {

/// 15 March 2012 12:00:00 UTC.
inline TDateTime TestNow()
{
    TDateFields f;
    f.Year = 2012, f.Month = 3, f.Day = 15, f.Hour = 12;
    return EncodeDateTime(f);
}

inline TDateTime At(int y, int mo, int d, int h, int mi, int s)
{
    TDateFields f;
    f.Year = y, f.Month = mo, f.Day = d, f.Hour = h, f.Minute = mi, f.Second = s;
    return EncodeDateTime(f);
}

struct TCoreEnv {
    TTempDir Dir;
    TFakeClock Clock{TestNow(), -5.0 / 24.0}; // local = UTC - 5 h
    TScriptedDialogs Dialogs;
    TShared S{Clock, Dialogs};
    TMemoryStatus Memory;

    TCoreEnv()
    {
        S.ProgramDir = Dir.Path();
        S.RidgeBase = "http://127.0.0.1/ridge/RadarImg/";
        S.RidgeNatBase = "http://127.0.0.1/ridge/Conus/RadarImg/";
        Memory.Load = 30;
        Memory.TotalPhys = 3ull << 30;
        Memory.AvailPhys = 2ull << 30;
        Memory.TotalPageFile = 1ull << 30;
        Memory.AvailPageFile = 512ull << 20;
        Memory.TotalVirtual = 1ull << 47;
        Memory.AvailVirtual = (1ull << 47) - (100ull << 20);
        S.ReadMemory = [this] { return Memory; };
    }
};

} // namespace sf::test
