// A start that closes because UI-View32 is not in the Wine prefix (a mistyped
// --wineprefix) leaves the stored paths as they were for the next start.
#include "app/Main.h"
#include "core/IniFile.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

using namespace sf;

TEST(HostMissing, TheCloseKeepsTheStoredPaths)
{
    TFakeClock clock{EncodeDateTime({2026, 12, 7, 21, 5, 0, 0})};
    test::TScriptedDialogs dialogs;
    test::TTempDir home;
    const std::string server = home.Path() + "pfx/drive_c/Peak Systems/QuorServer9/";
    home.Write("stormfetch.ini", "[User]\r\nQuorServerPath=" + server + "\r\nQuorUnderlayPath=" + server +
                                     "Quor Underlays/\r\nLogErrors=0\r\n[Shp]\r\nDir=" + server + "ShpFiles/\r\n");
    {
        TMain main(clock, dialogs, TMainOptions{home.Path(), home.Path() + "mistyped/", true});
        main.Shared().ReadMemory = [] { return TMemoryStatus{42, 1 << 30, 1 << 29, 0, 0, 0, 0}; };
        main.Wire();
        ASSERT_TRUE(main.Create());
        main.FirstShow();
        ASSERT_TRUE(main.HostMissing());
        EXPECT_TRUE(main.CloseQuery());
        main.Closing();
    }
    const TIniFile ini(home.Path() + "stormfetch.ini");
    EXPECT_EQ(ini.Ini().ReadString("Shp", "Dir", ""), server + "ShpFiles/");
    EXPECT_EQ(ini.Ini().ReadString("User", "QuorServerPath", ""), server);
    EXPECT_EQ(ini.Ini().ReadString("User", "QuorUnderlayPath", ""), server + "Quor Underlays/");
    // The rest of the settings are still saved.
    EXPECT_EQ(ini.Ini().ReadString("User", "Version", ""), "Stormfetch 2.9.1");
}
