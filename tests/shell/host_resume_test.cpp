// SPDX-License-Identifier: GPL-3.0-or-later
// The host's journal at the program's start: a running tournament is offered and taken up, even
// with a torn last record; one declined, one that is over, or one that cannot be read is set
// aside under another name (never deleted), and only the unreadable one is reported. A
// tournament not taken up leaves every game in its file once: the running one unfinished, one
// whose end came too late to be saved with its result.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "net/journal_format.h"
#include "platform/recording_window_services.h"
#include "shell/host_resume.h"

namespace tavlora {
namespace {

namespace fs = std::filesystem;

const fs::path Folder = fs::temp_directory_path() / "tavlora-host-resume";
const fs::path GamesPath = Folder / "Partien.pgn";

// Wirt hosts Anna; Anna resigns when the tournament is to be over.
std::string Journal(bool over) {
    JournalStarted started{.MaxPlayer = 4, .TimeByPlayer = 5, .RejoinSeconds = 120};
    started.Players = {{"Wirt", 0, {}}, {"Änna", 1, {1, 2, 3}}};
    started.Colours = {0};
    Bytes bytes = EncodeJournalHeader();
    const auto add = [&bytes](const JournalRecord& record) {
        const Bytes encoded = EncodeJournalRecord(record);
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    };
    add({1000, started});
    add({1500, JournalGamesFile{1700000000, GamesPath.string()}});
    if (over) {
        add({2000, Message(MsgResign{1, {0, 1}})});
    }
    return {bytes.begin(), bytes.end()};
}

struct Case {
    const char* what;
    std::string content;  // none: no file
    bool answer;          // to the question, if it is asked
    bool asked;
    bool resumed;
    bool reported;  // the box "Tavlora - Fehler"
    bool setAside;
    bool again;         // the same journal is found at a second start
    const char* saved;  // the results in the games file in the end
};

// The results of the games in the PGN file at path, in order.
std::string SavedResults(const fs::path& path) {
    std::ifstream file(path);
    std::string results;
    for (std::string line; std::getline(file, line);) {
        if (line.starts_with("[Result \"")) {
            results += line.substr(9, line.size() - 11) + " ";
        }
    }
    return results;
}

TEST(HostResume, TheJournalIsOfferedTakenUpOrSetAside) {
    const Case cases[] = {
        {"no journal", "", true, false, false, false, false, false, ""},
        {"running, taken up", Journal(false), true, true, true, false, false, false, ""},
        {"running with a torn end", Journal(false) + std::string("\x30\x00\x00", 3), true, true,
         true, false, false, false, ""},
        {"running, declined", Journal(false), false, true, false, false, true, false, "* "},
        {"over", Journal(true), true, false, false, false, true, false, "1-0 "},
        {"over, found again", Journal(true), true, false, false, false, true, true, "1-0 "},
        {"not a journal", "[Einstellungen]\n", true, false, false, true, true, false, ""},
        {"damaged before its end", Journal(false).replace(20, 1, "\xFF") + Journal(false), true,
         false, false, true, true, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path& folder = Folder;
        fs::remove_all(folder);
        fs::create_directories(folder);
        const std::string path = (folder / "Turnier.journal").string();
        if (!c.content.empty()) {
            std::ofstream(path, std::ios::binary) << c.content;
        }
        RecordingWindowServices services;
        ProgramState state;
        state.NetworkPort = 0;  // a free one
        int asked = 0;
        const auto ask = [&] {
            ++asked;
            return c.answer;
        };
        const std::optional<ResumedTournament> resumed = OfferToResume(services, path, ask, state);

        EXPECT_EQ(asked, c.asked ? 1 : 0);
        EXPECT_EQ(resumed.has_value(), c.resumed);
        ASSERT_EQ(services.MessageBoxes().size(), c.reported ? 1u : 0u);
        if (c.reported) {
            EXPECT_EQ(services.MessageBoxes()[0].Title, "Tavlora - Fehler");
            EXPECT_EQ(services.MessageBoxes()[0].Text,
                      "Das Turnierjournal kann nicht gelesen werden.\nEs bleibt erhalten als " +
                          (folder / "Turnier-1.journal").string() + ".");
        }
        // Set aside with every byte, never deleted; taken up, it stays for the program to go on.
        const fs::path aside = folder / "Turnier-1.journal";
        EXPECT_EQ(fs::exists(aside), c.setAside);
        EXPECT_EQ(fs::exists(path), c.resumed);
        if (c.setAside) {
            std::ostringstream kept;
            kept << std::ifstream(aside, std::ios::binary).rdbuf();
            EXPECT_EQ(kept.str(), c.content);
        }
        if (resumed) {
            EXPECT_TRUE(state.IsServer());
            EXPECT_EQ(state.PlayPhase, GamesStartedPhase);
            EXPECT_EQ(state.Players[1].PlayerName, "Änna");
            EXPECT_EQ(resumed->Replay.GamesFile->Path, GamesPath.string());
            EXPECT_EQ(resumed->WholeLength, Journal(false).size());
            state.Network.CloseAll();
        }
        // A game saved already is not saved again.
        if (c.again) {
            std::ofstream(path, std::ios::binary) << c.content;
            ProgramState again;
            OfferToResume(services, path, ask, again);
        }
        EXPECT_EQ(SavedResults(GamesPath), c.saved);
        fs::remove_all(folder);
    }
}

}  // namespace
}  // namespace tavlora
