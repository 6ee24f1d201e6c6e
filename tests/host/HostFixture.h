// Shared state for the host tests: a scripted dialog interface, a fake clock, a
// temporary program folder and a Wine prefix inside it.
#pragma once
#include "core/Shared.h"
#include "host/FakePrefix.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>
#include <filesystem>

namespace sf::test {

class HostFixture : public ::testing::Test {
protected:
    HostFixture() : s(clock, dialogs)
    {
        s.ProgramDir = dir.Path() + "prog/";
        std::filesystem::create_directories(s.ProgramDir);
        s.WinePrefix = dir.Path() + "prefix/";
        s.ReadMemory = [] { return TMemoryStatus{}; };
        s.Logerrors1.Checked = true;
        s.Hooks.SaveSettings = [this] { ++saves; };
        s.Hooks.Close = [this] { ++closes; };
    }
    /// Writes the fake prefix with the options; fails the test on error.
    void MakePrefix(const TFakePrefixOptions& o = {})
    {
        std::string error;
        ASSERT_TRUE(WriteFakePrefix(s.WinePrefix, o, &error)) << error;
    }
    /// Canonical form of a folder under the prefix's drive C:, ending "/".
    std::string DriveC(const std::string& rel) const
    {
        return std::filesystem::canonical(s.WinePrefix + "drive_c").string() + "/" + rel;
    }
    /// Today's error log text.
    std::string LogText() const
    {
        std::string all;
        for (auto& e : std::filesystem::directory_iterator(s.ProgramDir))
            if (e.path().filename().string().find("ErrorLog") != std::string::npos)
                all += dir.Read("prog/" + e.path().filename().string());
        return all;
    }

    TTempDir dir;
    TFakeClock clock{45000.5};
    TScriptedDialogs dialogs;
    TShared s;
    int saves = 0, closes = 0;
};

} // namespace sf::test
