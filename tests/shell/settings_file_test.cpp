// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/settings_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace tavlora {
namespace {

namespace fs = std::filesystem;

int32_t Address(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return static_cast<int32_t>(a | b << 8 | c << 16 | d << 24);
}

// What the settings window hands over after a start; PlayerMode is the tab's business.
Settings Played() {
    Settings values;
    values.Name = "Anna";
    values.PlayerMode = 99;
    values.MaxPlayer = 12;
    values.TimeByPlayer = 30;
    values.TimeByMove = 2;
    values.Name2 = "Bert";
    values.ServerIP = Address(10, 0, 0, 200);
    values.RejoinSeconds = 90;
    return values;
}

class SettingsFileTest : public testing::Test {
protected:
    void SetUp() override {
        std::string folder = testing::TempDir() + "settings_file_XXXXXX";
        ASSERT_NE(mkdtemp(folder.data()), nullptr);
        environment_ = {folder, "rechner"};
    }

    void TearDown() override {
        fs::permissions(Folder(), fs::perms::owner_all, fs::perm_options::add, ignored_);
        fs::remove_all(environment_.AppDataFolder, ignored_);
    }

    std::string Folder() const { return environment_.AppDataFolder + "/Zendrik/Tavlora"; }
    std::string File() const { return SettingsFilePath(environment_); }

    void WriteFile(std::string_view bytes) const {
        fs::create_directories(Folder());
        std::ofstream(File(), std::ios::binary) << bytes;
    }

    std::string ReadFile() const {
        std::ifstream in(File(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::set<std::string> FolderEntries() const {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(Folder())) {
            names.insert(entry.path().filename());
        }
        return names;
    }

    Settings Load() const { return LoadSettings(environment_); }
    void Save(int32_t tab, const Settings& values = Played()) const {
        SaveSettings(environment_, tab, values);
    }

    SettingsEnvironment environment_;
    std::error_code ignored_;
};

TEST_F(SettingsFileTest, FirstStartWithoutFileGivesDefaultsAndCreatesNothing) {
    const Settings settings = Load();
    EXPECT_EQ(settings.Name, "rechner");
    EXPECT_EQ(settings.Name2, "rechner");
    EXPECT_EQ(settings.PlayerMode, ClientMode);
    EXPECT_EQ(settings.MaxPlayer, 8);
    EXPECT_EQ(settings.TimeByPlayer, 0);
    EXPECT_EQ(settings.TimeByMove, 0);
    EXPECT_EQ(settings.ServerIP, Address(127, 0, 0, 1));
    EXPECT_EQ(settings.ServerIP, 16777343);
    EXPECT_EQ(settings.RejoinSeconds, 120);
    EXPECT_FALSE(fs::exists(environment_.AppDataFolder + "/Zendrik"));
}

TEST_F(SettingsFileTest, NewFileHoldsTheKeysOfTheWayToPlayInOrder) {
    const struct {
        int32_t Tab;
        std::string Bytes;
    } cases[] = {
        {ServerMode,
         "Name = Anna\r\nPlayerMode = 0\r\nMaxPlayer = 12\r\nTimeByPlayer = 30\r\n"
         "TimeByMove = 2\r\nRejoinSeconds = 90\r\n"},
        // 10.0.0.200 has a last number above 127, so it is stored as a negative number.
        {ClientMode, "Name = Anna\r\nPlayerMode = 1\r\nServerIP = -939524086\r\n"},
        {SinglePlayerMode,
         "Name = Anna\r\nPlayerMode = 2\r\nTimeByPlayer = 30\r\nTimeByMove = 2\r\n"
         "Name2 = Bert\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Tab);
        fs::remove(File());
        Save(c.Tab);
        EXPECT_EQ(ReadFile(), c.Bytes);
    }
}

TEST_F(SettingsFileTest, ClientStartAfterServerStartRewritesInPlaceAndAddsServerIP) {
    Save(ServerMode);
    Settings client = Played();
    client.Name = "Carla";
    Save(ClientMode, client);
    EXPECT_EQ(ReadFile(),
              "Name = Carla\r\nPlayerMode = 1\r\nMaxPlayer = 12\r\nTimeByPlayer = 30\r\n"
              "TimeByMove = 2\r\nRejoinSeconds = 90\r\nServerIP = -939524086\r\n");

    const Settings settings = Load();
    EXPECT_EQ(settings.Name, "Carla");
    EXPECT_EQ(settings.PlayerMode, ClientMode);
    EXPECT_EQ(settings.MaxPlayer, 12);
    EXPECT_EQ(settings.TimeByPlayer, 30);
    EXPECT_EQ(settings.TimeByMove, 2);
    EXPECT_EQ(settings.Name2, "rechner");  // never written, so still the default
    EXPECT_EQ(settings.ServerIP, Address(10, 0, 0, 200));
    EXPECT_EQ(settings.RejoinSeconds, 90);
}

TEST_F(SettingsFileTest, NextGameAfterMoveIsKeptAloneAndNoWayToPlayWritesIt) {
    EXPECT_EQ(Load().NextGameAfterMove, 1) << "ticked without a file";
    const std::string others =
        "; Tavlora\r\nname=Anna\r\nPlayerMode = 0\r\nTimeByMove = 2\r\n[Gruppe]\r\nx = 1\r\n";
    WriteFile(others);
    SaveNextGameAfterMove(environment_, false);
    EXPECT_EQ(ReadFile(),
              "; Tavlora\r\nname=Anna\r\nPlayerMode = 0\r\nTimeByMove = 2\r\n"
              "NextGameAfterMove = 0\r\n[Gruppe]\r\nx = 1\r\n");
    EXPECT_EQ(Load().NextGameAfterMove, 0);
    SaveNextGameAfterMove(environment_, true);
    EXPECT_EQ(Load().NextGameAfterMove, 1);
    for (int32_t tab : {ServerMode, ClientMode, SinglePlayerMode}) {
        Settings values = Played();
        values.NextGameAfterMove = 0;
        Save(tab, values);
        EXPECT_EQ(Load().NextGameAfterMove, 1) << tab;
    }
    EXPECT_NE(ReadFile().find("\r\nNextGameAfterMove = 1\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, ReadsNumbers) {
    const struct {
        std::string Content;
        int32_t Settings::*Field;
        int32_t Expected;
    } cases[] = {
        {"playermode=2\r\n", &Settings::PlayerMode, 2},
        {"MaxPlayer = abc\r\n", &Settings::MaxPlayer, 0},  // present, so not the default
        {"MaxPlayer =\r\n", &Settings::MaxPlayer, 0},
        {"MaxPlayer\r\n", &Settings::MaxPlayer, 0},
        {" \tMaxPlayer\t =  -12 Minuten\n", &Settings::MaxPlayer, -12},
        {"MaxPlayer = +7", &Settings::MaxPlayer, 7},
        {"MaxPlayer = - 7", &Settings::MaxPlayer, 0},
        {"MaxPlayer = 3\rMaxPlayer = 4\r", &Settings::MaxPlayer, 3},
        {"MaxPlayers = 3\r\n", &Settings::MaxPlayer, 8},
        {"; MaxPlayer = 3\r\n", &Settings::MaxPlayer, 8},
        {"[Gruppe]\r\nMaxPlayer = 3\r\n", &Settings::MaxPlayer, 8},
        {"TimeByMove = 5\n\n[Gruppe]\nTimeByMove = 9\n", &Settings::TimeByMove, 5},
        {"ServerIP = 3355443210\r\n", &Settings::ServerIP, Address(10, 0, 0, 200)},
        {"ServerIP = -939524086\r\n", &Settings::ServerIP, Address(10, 0, 0, 200)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Content);
        WriteFile(c.Content);
        EXPECT_EQ(Load().*c.Field, c.Expected);
    }
}

TEST_F(SettingsFileTest, ReadsTextsAsUtf8WhateverTheEncoding) {
    const struct {
        std::string Content;
        std::string Settings::*Field;
        std::string Expected;
    } cases[] = {
        {"Name = \t Anna Berg \t\r\n", &Settings::Name, "Anna Berg"},
        {"name=\r\n", &Settings::Name, ""},
        {"Name2 = J\xC3\xB6rg\r\n", &Settings::Name2, "J\xC3\xB6rg"},
        // Not valid UTF-8, so a file from a system whose code page is Latin-1.
        {"Name2 = J\xF6rg\r\n", &Settings::Name2, "J\xC3\xB6rg"},
        {"\xEF\xBB\xBFName = J\xC3\xB6rg", &Settings::Name, "J\xC3\xB6rg"},
        {"\xEF\xBB\xBF\r\nName = J\xF6rg", &Settings::Name, "J\xEF\xBF\xBDrg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Content);
        WriteFile(c.Content);
        EXPECT_EQ(Load().*c.Field, c.Expected);
    }
}

TEST_F(SettingsFileTest, KeyInOtherLetterCaseIsRewrittenInPlace) {
    WriteFile("; Einstellungen\r\nplayermode=2\r\nFarbe = blau\r\n");
    Save(ServerMode);
    EXPECT_EQ(ReadFile(),
              "; Einstellungen\r\nPlayerMode = 0\r\nFarbe = blau\r\nName = Anna\r\n"
              "MaxPlayer = 12\r\nTimeByPlayer = 30\r\nTimeByMove = 2\r\nRejoinSeconds = 90\r\n");
}

TEST_F(SettingsFileTest, OtherLinesSurviveAndAddedKeysGoBeforeTheFirstGroup) {
    WriteFile(
        "Name = Alt\n;erster Kommentar\n  ;  eingerückt\n\nFarbe=blau\n  \t\n"
        "[Fenster]\nServerIP = 5\n; danach\nName = Anderer");
    const std::string expected =
        "Name = Anna\r\n; erster Kommentar\r\n;  eingerückt\r\n\r\nFarbe=blau\r\n  \t\r\n"
        "PlayerMode = 1\r\nServerIP = -939524086\r\n"
        "[Fenster]\r\nServerIP = 5\r\n; danach\r\nName = Anderer\r\n";
    Save(ClientMode);
    EXPECT_EQ(ReadFile(), expected);
    Save(ClientMode);
    EXPECT_EQ(ReadFile(), expected);

    WriteFile("[Fenster]\r\nName = Anderer\r\n");
    Save(ClientMode);
    EXPECT_EQ(ReadFile(),
              "Name = Anna\r\nPlayerMode = 1\r\nServerIP = -939524086\r\n"
              "[Fenster]\r\nName = Anderer\r\n");
}

TEST_F(SettingsFileTest, ByteOrderMarkIsKeptOnALineOfItsOwn) {
    WriteFile("\xEF\xBB\xBFName = Alt\r\n");
    Settings values = Played();
    values.Name = "J\xC3\xB6rg";
    const std::string expected =
        "\xEF\xBB\xBF\r\nName = J\xC3\xB6rg\r\nPlayerMode = 1\r\nServerIP = -939524086\r\n";
    Save(ClientMode, values);
    EXPECT_EQ(ReadFile(), expected);
    Save(ClientMode, values);  // the mark's empty line is not added a second time
    EXPECT_EQ(ReadFile(), expected);
}

TEST_F(SettingsFileTest, FileKeepsItsEncodingWhenRewritten) {
    Settings values = Played();
    values.Name = "J\xC3\xB6rg";
    values.Name2 = "Zo\xC3\xAB \xE2\x82\xAC";  // the euro sign has no Latin-1 byte

    WriteFile("; Gr\xFC\xDF\x65\r\nName = J\xE4ger\r\n");
    EXPECT_EQ(Load().Name, "J\xC3\xA4ger");
    Save(SinglePlayerMode, values);
    EXPECT_EQ(ReadFile(),
              "; Gr\xFC\xDF\x65\r\nName = J\xF6rg\r\nPlayerMode = 2\r\nTimeByPlayer = 30\r\n"
              "TimeByMove = 2\r\nName2 = Zo\xEB ?\r\n");

    WriteFile("; Grüße\r\n");
    Save(SinglePlayerMode, values);
    EXPECT_EQ(ReadFile(),
              "; Grüße\r\nName = J\xC3\xB6rg\r\nPlayerMode = 2\r\nTimeByPlayer = 30\r\n"
              "TimeByMove = 2\r\nName2 = Zo\xC3\xAB \xE2\x82\xAC\r\n");
}

TEST_F(SettingsFileTest, LineEndInAValueCannotSplitItsLine) {
    Settings values = Played();
    values.Name = "Anna\r\n[Gruppe]";
    Save(ClientMode, values);
    EXPECT_EQ(Load().Name, "Anna  [Gruppe]");
    EXPECT_EQ(Load().PlayerMode, ClientMode);
}

TEST_F(SettingsFileTest, ReplaceLeavesNoTemporaryFileAndKeepsMode) {
    Save(ServerMode);
    fs::permissions(File(), fs::perms::owner_read | fs::perms::owner_write);
    Save(ClientMode);
    EXPECT_EQ(FolderEntries(), std::set<std::string>{"Preference.ini"});
    EXPECT_EQ(fs::status(File()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Load().PlayerMode, ClientMode);
}

TEST_F(SettingsFileTest, LinkedFileIsRewrittenThroughTheLink) {
    const std::string target = environment_.AppDataFolder + "/elsewhere.ini";
    std::ofstream(target, std::ios::binary) << "Farbe = blau\r\n";
    fs::create_directories(Folder());
    fs::create_symlink(target, File());
    Save(ClientMode);
    EXPECT_TRUE(fs::is_symlink(File()));
    EXPECT_EQ(ReadFile(),
              "Farbe = blau\r\nName = Anna\r\nPlayerMode = 1\r\nServerIP = -939524086\r\n");
}

TEST_F(SettingsFileTest, MissingConfigurationFolderIsCreated) {
    environment_.AppDataFolder += "/config";
    Save(ServerMode);
    EXPECT_EQ(Load().MaxPlayer, 12);
}

TEST_F(SettingsFileTest, PlacesThatCannotBeWrittenAreLeftSilently) {
    // A file where the first folder should be: no folder, no settings file.
    std::ofstream(environment_.AppDataFolder + "/Zendrik") << "kein Ordner";
    Save(ServerMode);
    EXPECT_TRUE(fs::is_regular_file(environment_.AppDataFolder + "/Zendrik"));
    EXPECT_EQ(Load().MaxPlayer, 8);
    fs::remove(environment_.AppDataFolder + "/Zendrik");

    // A folder in place of the file can be neither read nor replaced.
    fs::create_directories(File());
    Save(ServerMode);
    EXPECT_TRUE(fs::is_directory(File()));
    EXPECT_EQ(FolderEntries(), std::set<std::string>{"Preference.ini"});
    EXPECT_EQ(Load().MaxPlayer, 8);
}

TEST_F(SettingsFileTest, WriteProtectedFileOrFolderIsLeftAsItWas) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root may write whatever the permissions say";
    }
    const std::string old = "MaxPlayer = 3\r\n";
    const fs::perms readWrite = fs::perms::owner_read | fs::perms::owner_write;
    const struct {
        const char* What;
        fs::perms FolderPerms;
        fs::perms FilePerms;
    } cases[] = {
        {"file", fs::perms::owner_all, fs::perms::owner_read},
        {"folder", fs::perms::owner_read | fs::perms::owner_exec, readWrite},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        WriteFile(old);
        fs::permissions(File(), c.FilePerms);
        fs::permissions(Folder(), c.FolderPerms);
        Save(ServerMode);
        EXPECT_EQ(ReadFile(), old);
        EXPECT_EQ(FolderEntries(), std::set<std::string>{"Preference.ini"});
        fs::permissions(Folder(), fs::perms::owner_all);
        fs::permissions(File(), readWrite);
    }
}

TEST(SettingsPlaceTest, AppDataFolderComesFromTheEnvironment) {
    const struct {
        const char* AppData;
        const char* XdgConfigHome;
        const char* Home;
        std::string Expected;
    } cases[] = {
        {"/daten/app", "/home/a/cfg", "/home/a", "/daten/app"},
        {"", "/home/a/cfg", "/home/a", "/home/a/cfg"},
        {nullptr, "/home/a/cfg", "/home/a", "/home/a/cfg"},
        {nullptr, "", "/home/a", "/home/a/.config"},
        {nullptr, "relativ/cfg", "/home/a", "/home/a/.config"},
        {nullptr, nullptr, "/home/a", "/home/a/.config"},
        {nullptr, nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindAppDataFolder(c.AppData, c.XdgConfigHome, c.Home), c.Expected);
    }
    EXPECT_EQ(SettingsFilePath({"/home/a/.config", "rechner"}),
              "/home/a/.config/Zendrik/Tavlora/Preference.ini");
    EXPECT_EQ(SettingsFilePath({"", "rechner"}), "");
}

TEST(SettingsPlaceTest, NowhereToKeepTheFileGivesDefaults) {
    const SettingsEnvironment nowhere{"", "rechner"};
    SaveSettings(nowhere, ServerMode, Played());
    EXPECT_EQ(LoadSettings(nowhere).MaxPlayer, 8);
    EXPECT_EQ(LoadSettings(nowhere).Name, "rechner");
}

}  // namespace
}  // namespace tavlora
