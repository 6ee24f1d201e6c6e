#include "host/HostText.h"
#include "host/WineRegistry.h"
#include <gtest/gtest.h>

namespace sf {
namespace {

// Every value type Wine writes, continuation lines and the escapes of its writer.
const char* const kSample =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\Machine\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\Odd\\\\Values] 1700000000\n"
    "#time=1d9e0b7a3c4f2e0\n"
    "#class=\"Some \\\"class\\\"\"\n"
    "@=\"default text\"\n"
    "\"Plain\"=\"C:\\\\Program Files (x86)\\\\Peak Systems\\\\\"\n"
    "\"Quote\"=\"say \\\"hi\\\"\"\n"
    "\"Controls\"=\"a\\tb\\nc\\rd\\ae\"\n"
    "\"Octal\"=\"x\\001\\0122\"\n"
    "\"Unicode\"=\"caf\\xe9 \\x20ac\\x0031 \\xd83d\\xde00\"\n"
    "\"Dword\"=dword:0000002a\n"
    "\"Binary\"=hex:01,02,ff,\\\n"
    "  10,20\n"
    "\"HexSz\"=hex(1):41,00,42,00,00,00\n"
    "\"Expand\"=str(2):\"%SystemRoot%\\\\system32\"\n"
    "\"Multi\"=str(7):\"one\\0two\\0\"\n"
    "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n"
    "\"Link\"=hex(6):5c,00\n"
    "\"Name with \\\"quote\\\" and = sign\"=\"ok\"\n"
    "\"Broken\"=\"no closing quote\n"
    "\"BadHex\"=hex:zz,01\n"
    "\"BadType\"=str(q):\"x\"\n"
    "garbage line\n"
    "\"After\"=\"still read\"\n"
    "\n"
    "[Software\\\\Key \\[with\\] brackets\\\\Sub] 1700000001\n"
    "\"v\"=\"in bracketed key\"\n";

TEST(WineRegistry, ParsesEveryValueTypeAndSkipsTheBrokenOnes)
{
    TRegHive hive;
    std::string error;
    int skipped = -1;
    ASSERT_TRUE(ParseWineRegistry(kSample, hive, &error, &skipped));
    EXPECT_EQ(skipped, 4); // Broken, BadHex, BadType, garbage line
    const TRegKey* k = hive.FindKey("Software\\Odd\\Values");
    ASSERT_NE(k, nullptr);
    auto text = [&](const std::string& name) {
        auto it = k->Values.find(name);
        return it == k->Values.end() ? std::string("<missing>") : it->second.Text;
    };
    EXPECT_EQ(text(""), "default text");
    EXPECT_EQ(text("plain"), "C:\\Program Files (x86)\\Peak Systems\\");
    EXPECT_EQ(text("quote"), "say \"hi\"");
    EXPECT_EQ(text("controls"), "a\tb\nc\rd\ae");
    EXPECT_EQ(text("octal"), std::string("x\001\n2"));
    EXPECT_EQ(text("unicode"), "caf\xC3\xA9 \xE2\x82\xAC" "1 \xF0\x9F\x98\x80");
    EXPECT_EQ(text("expand"), "%SystemRoot%\\system32");
    EXPECT_EQ(text("multi"), std::string("one\0two", 7));
    EXPECT_EQ(text("hexsz"), "AB");
    EXPECT_EQ(text("name with \"quote\" and = sign"), "ok");
    EXPECT_EQ(text("after"), "still read");
    EXPECT_EQ(text("broken"), "<missing>");

    const TRegValue& dw = k->Values.at("dword");
    EXPECT_EQ(dw.Type, kRegDword);
    EXPECT_EQ(dw.Data, (std::vector<uint8_t>{0x2a, 0, 0, 0}));
    EXPECT_FALSE(dw.IsString());
    const TRegValue& bin = k->Values.at("binary");
    EXPECT_EQ(bin.Type, kRegBinary);
    EXPECT_EQ(bin.Data, (std::vector<uint8_t>{1, 2, 0xff, 0x10, 0x20}));
    EXPECT_EQ(k->Values.at("qword").Type, 0xbu);
    EXPECT_EQ(k->Values.at("link").Type, 6u);

    const TRegKey* b = hive.FindKey("software\\KEY [WITH] BRACKETS\\sub");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Values.at("v").Text, "in bracketed key");
}

TEST(WineRegistry, RejectsTextWithoutTheHeader)
{
    TRegHive hive;
    std::string error;
    EXPECT_FALSE(ParseWineRegistry("REGEDIT4\n[Software\\\\X]\n\"a\"=\"b\"\n", hive, &error));
    EXPECT_NE(error.find("WINE REGISTRY Version 2"), std::string::npos);
    EXPECT_EQ(hive.KeyCount(), 0u);
}

TEST(WineRegistry, ValuesBeforeAnyKeyOrAfterABrokenKeyLineAreDropped)
{
    TRegHive hive;
    int skipped = 0;
    ASSERT_TRUE(ParseWineRegistry("WINE REGISTRY Version 2\r\n\"early\"=\"x\"\r\n[Good] 1\r\n\"a\"=\"1\"\r\n"
                                  "[Unclosed\\\\key 1\r\n\"b\"=\"2\"\r\n",
                                  hive, nullptr, &skipped));
    EXPECT_EQ(skipped, 3);
    ASSERT_NE(hive.FindKey("good"), nullptr);
    EXPECT_EQ(hive.FindKey("good")->Values.count("b"), 0u);
}

TEST(WineRegistry, ALaterValueOfTheSameNameReplacesTheEarlierWhateverItsType)
{
    // Names compare ignoring case, and the key may be opened a second time further down.
    TWineRegistry reg;
    reg.SetHives("WINE REGISTRY Version 2\n[Software\\\\Probe] 1\n\"Name\"=\"value\"\n\"Path\"=\"C:\\\\old\"\n\n"
                 "\"name\"=str(0):\"fault\"\n"
                 "[software\\\\PROBE] 2\n\"PATH\"=str(2):\"C:\\\\new\"\n\"Keep\"=\"k\"\n",
                 "WINE REGISTRY Version 2\n");
    EXPECT_FALSE(reg.ReadString(TRegRoot::CurrentUser, "Software\\Probe", "Name")); // now REG_NONE
    EXPECT_EQ(reg.ReadString(TRegRoot::CurrentUser, "Software\\Probe", "Path"), "C:\\new");
    EXPECT_EQ(reg.ReadString(TRegRoot::CurrentUser, "Software\\Probe", "Keep"), "k");
}

TEST(WineRegistry, ClassesRootPrefersTheUserKeyAndIgnoresCase)
{
    TWineRegistry reg;
    reg.SetHives("WINE REGISTRY Version 2\n[Software\\\\Classes\\\\Both\\\\Clsid] 1\n@=\"{user}\"\n",
                 "WINE REGISTRY Version 2\n[Software\\\\Classes\\\\Both\\\\Clsid] 1\n@=\"{machine}\"\n"
                 "[Software\\\\Classes\\\\OnlyMachine\\\\CLSID] 1\n@=\"{m2}\"\n\"Num\"=dword:1\n");
    EXPECT_EQ(reg.ReadString(TRegRoot::ClassesRoot, "\\both\\clsid\\", ""), "{user}");
    EXPECT_EQ(reg.ReadString(TRegRoot::ClassesRoot, "OnlyMachine\\Clsid", ""), "{m2}");
    EXPECT_EQ(reg.ReadString(TRegRoot::LocalMachine, "Software\\Classes\\Both\\Clsid", ""), "{machine}");
    EXPECT_FALSE(reg.ReadString(TRegRoot::ClassesRoot, "OnlyMachine\\Clsid", "num")); // not a string
    EXPECT_FALSE(reg.ReadString(TRegRoot::ClassesRoot, "OnlyMachine\\Clsid", "absent"));
    EXPECT_FALSE(reg.ReadString(TRegRoot::CurrentUser, "OnlyMachine\\Clsid", ""));
    EXPECT_TRUE(reg.KeyExists(TRegRoot::CurrentUser, "SOFTWARE\\CLASSES\\BOTH"));
}

TEST(WineRegistry, UserClassesParentDoesNotHideTheMachineKeyBelowIt)
{
    TWineRegistry reg;
    reg.SetHives("WINE REGISTRY Version 2\n[Software\\\\Classes\\\\CLSID\\\\{other}\\\\InprocServer32] 1\n@=\"u.dll\"\n",
                 "WINE REGISTRY Version 2\n[Software\\\\Classes\\\\CLSID\\\\{id}\\\\InprocServer32] 1\n@=\"m.dll\"\n");
    EXPECT_TRUE(reg.KeyExists(TRegRoot::ClassesRoot, "CLSID"));
    EXPECT_EQ(reg.ReadString(TRegRoot::ClassesRoot, "CLSID\\{ID}\\InprocServer32", ""), "m.dll");
    EXPECT_EQ(reg.ReadString(TRegRoot::ClassesRoot, "CLSID\\{other}\\InprocServer32", ""), "u.dll");
}

TEST(HostText, Windows1252HighBytesBecomeTheirUnicodeCharacters)
{
    EXPECT_EQ(Windows1252ToUtf8("Caf\xE9 \x80 \x93q\x94 \x9F \x81"),
              "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC5\xB8 \xC2\x81");
    EXPECT_EQ(Windows1252ToUtf8("plain ASCII"), "plain ASCII");
}

TEST(HostText, Utf16LoneSurrogatesAreReplaced)
{
    EXPECT_EQ(Utf16ToUtf8({0xD800, 'a', 0xDC00}), "\xEF\xBF\xBD" "a" "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16LeBytesToUtf8({'h', 0, 'i', 0, 0, 0, 'x', 0}), "hi");
}

TEST(HostText, PathPartsSplitAtTheLastBackslash)
{
    EXPECT_EQ(WinFileName("C:\\UIView32\\MAPS\\!!QuorServer9.map"), "!!QuorServer9.map");
    EXPECT_EQ(WinFolderPart("C:\\UIView32\\MAPS\\!!QuorServer9.map"), "C:\\UIView32\\MAPS\\");
    EXPECT_EQ(WinFileName("NoFolder.bmp"), "NoFolder.bmp");
    EXPECT_EQ(WinFolderPart("NoFolder.bmp"), "");
    EXPECT_EQ(WinFileName("C:\\Folder\\"), "");
}

} // namespace
} // namespace sf
