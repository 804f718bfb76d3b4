// SPDX-License-Identifier: GPL-3.0-or-later
// The file helper's promises that its users build on: a replacement that fails leaves the old
// file whole, a new file is never opened over an existing one, and a read refuses what is too
// large or no regular file rather than blocking or loading it.
#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace tavlora {
namespace {

namespace fs = std::filesystem;

struct FilesTest : testing::Test {
    FilesTest() {
        char pattern[] = "/tmp/tavlora-files-XXXXXX";
        folder = mkdtemp(pattern);
    }
    ~FilesTest() override { fs::remove_all(folder); }

    std::string folder;
};

TEST_F(FilesTest, ReplacementIsWholeOrNothing) {
    const std::string path = folder + "/a.ini";
    ASSERT_TRUE(ReplaceFile(path, "first", 0600));
    EXPECT_EQ(ReadWholeFile(path, 100), "first");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    // A folder that cannot take the temporary file: the old content stays, no stray file.
    ASSERT_EQ(chmod(folder.c_str(), 0500), 0);
    const bool replaced = ReplaceFile(path, "second");
    chmod(folder.c_str(), 0700);
    if (geteuid() != 0) {  // root writes anyway
        EXPECT_FALSE(replaced);
        EXPECT_EQ(ReadWholeFile(path, 100), "first");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(FilesTest, ReadsRefuseWhatTheyCannotTakeWhole) {
    EXPECT_EQ(ReadWholeFile(folder + "/missing", 10), "");  // missing reads as empty
    const std::string path = folder + "/big";
    std::ofstream(path) << std::string(11, 'x');
    EXPECT_EQ(ReadWholeFile(path, 10), std::nullopt);
    EXPECT_EQ(ReadWholeFile(path, 11), std::string(11, 'x'));
    const std::string pipe = folder + "/pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(ReadWholeFile(pipe, 10), std::nullopt);
}

TEST_F(FilesTest, AppendsKeepTheirOrderAndANewFileIsNeverOpenedTwice) {
    const std::string path = folder + "/journal";
    AppendFile file;
    ASSERT_TRUE(file.Open(path, AppendFile::Mode::CreateNew, 0600));
    EXPECT_TRUE(file.Append("one;"));
    EXPECT_TRUE(file.Append("two;"));
    EXPECT_TRUE(file.Sync());
    EXPECT_EQ(file.Size(), 8);

    AppendFile second;
    EXPECT_FALSE(second.Open(path, AppendFile::Mode::CreateNew));
    ASSERT_TRUE(second.Open(path, AppendFile::Mode::CreateOrAppend));
    EXPECT_EQ(second.Size(), 8);
    EXPECT_TRUE(second.Append("three;"));
    EXPECT_EQ(ReadWholeFile(path, 100), "one;two;three;");
}

TEST_F(FilesTest, AFileSyncedBesideTheAppendsKeepsEveryRecordAndClosesOnce) {
    const std::string path = folder + "/synced";
    AppendFile file;
    ASSERT_TRUE(file.Open(path, AppendFile::Mode::CreateNew, 0600));
    ASSERT_TRUE(file.SyncEvery(std::chrono::milliseconds(1)));
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        const std::string record = std::to_string(i) + ";";
        ASSERT_TRUE(file.Append(record));
        expected += record;
    }
    AppendFile moved = std::move(file);  // the thread goes with the file
    EXPECT_TRUE(moved.Append("end"));
    moved.Close();
    moved.Close();
    EXPECT_EQ(ReadWholeFile(path, 10000), expected + "end");
}

TEST_F(FilesTest, AFileIsRenamedAsideOnlyToAFreeName) {
    const std::string from = folder + "/journal";
    const std::string taken = folder + "/journal-1";
    std::ofstream(from) << "old";
    std::ofstream(taken) << "older";
    EXPECT_FALSE(RenameToFreeName(from, taken));
    EXPECT_EQ(ReadWholeFile(taken, 100), "older");
    EXPECT_TRUE(RenameToFreeName(from, folder + "/journal-2"));
    EXPECT_EQ(ReadWholeFile(folder + "/journal-2", 100), "old");
    EXPECT_FALSE(fs::exists(from));
}

}  // namespace
}  // namespace tavlora
