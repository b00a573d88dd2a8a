// test_data_folder.cpp -- which folder the program reads its data from, and what a folder lacks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/data_folder.h"

namespace {

namespace fs = std::filesystem;

// A folder holding the parts named: "data" (the data/ folder), "song" (xm/morrowick.xm),
// "xm" (an xm/ folder without the song), "song-dir" (xm/morrowick.xm as a folder).
void make_folder(const fs::path& dir, const std::string& parts)
{
    fs::create_directories(dir);
    if (parts.find("data") != std::string::npos)
        fs::create_directories(dir / "data");
    if (parts.find("xm") != std::string::npos)
        fs::create_directories(dir / "xm");
    if (parts.find("song-dir") != std::string::npos)
        fs::create_directories(dir / "xm" / "morrowick.xm");
    else if (parts.find("song") != std::string::npos) {
        fs::create_directories(dir / "xm");
        std::ofstream(dir / "xm" / "morrowick.xm") << "song";
    }
}

struct Tree {
    fs::path root, work, exe, share;
};

// An installed layout: root/usr/games (the executable) beside root/usr/share/games/morrowick.
Tree make_tree(const std::string& name, const std::string& work, const std::string& exe, const std::string& share)
{
    Tree t;
    t.root = fs::path(MW_BINARY_DIR) / "test_data_folder" / name;
    fs::remove_all(t.root);
    t.work = t.root / "work";
    t.exe = t.root / "usr" / "games";
    t.share = (t.exe / SHARE_FROM_EXECUTABLE).lexically_normal();
    make_folder(t.work, work);
    make_folder(t.exe, exe);
    make_folder(t.share, share);
    return t;
}

TEST(DataFolder, TakesTheFirstFolderHoldingBothDataAndSong)
{
    const struct {
        const char* name;
        const char* work;
        const char* exe;
        const char* share;
        const char* expect; // "work", "exe", "share" or "none"
    } cases[] = {
        { "work_complete", "data song", "data song", "data song", "work" },
        { "unrelated_data_in_work", "data", "data song", "data song", "exe" },
        { "song_folder_without_song", "data xm", "", "data song", "share" },
        { "halves_in_two_places", "song", "data", "data song", "share" },
        { "song_is_a_folder", "data song-dir", "data song-dir", "data song", "share" },
        { "nowhere", "data", "song", "xm", "none" },
    };
    const fs::path saved = fs::current_path();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Tree t = make_tree(c.name, c.work, c.exe, c.share);
        fs::current_path(t.work);
        std::string found = "?";
        const bool ok = find_data_folder(t.exe.string() + "/", SHARE_FROM_EXECUTABLE, &found);
        fs::current_path(saved);
        const std::string expect = c.expect;
        EXPECT_EQ(ok, expect != "none");
        if (expect == "work" || expect == "none")
            EXPECT_EQ(found, "");
        else
            EXPECT_TRUE(fs::equivalent(found, expect == "exe" ? t.exe : t.share)) << found;
    }
}

TEST(DataFolder, UnknownExecutableFolderOnlyTriesTheWorkingDirectory)
{
    const Tree t = make_tree("unknown_exe", "data", "data song", "data song");
    const fs::path saved = fs::current_path();
    fs::current_path(t.work);
    std::string found = "?";
    EXPECT_FALSE(find_data_folder("", SHARE_FROM_EXECUTABLE, &found));
    fs::current_path(saved);
    EXPECT_EQ(found, "");
}

TEST(DataFolder, SaysWhatAFolderLacks)
{
    const struct {
        const char* parts;
        int lacks;
        const char* text;
    } cases[] = {
        { "data song", DATA_FOLDER_COMPLETE, "holds the data" },
        { "data", DATA_FOLDER_NO_SONG, "has no xm/morrowick.xm" },
        { "data song-dir", DATA_FOLDER_NO_SONG, "has no xm/morrowick.xm" },
        { "song", DATA_FOLDER_NO_PICTURES, "has no data/ folder" },
        { "xm", DATA_FOLDER_NO_PICTURES | DATA_FOLDER_NO_SONG, "has no data/ folder and no xm/morrowick.xm" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parts);
        const Tree t = make_tree("lacks", c.parts, "", "");
        EXPECT_EQ(data_folder_lacks(t.work.string()), c.lacks);
        EXPECT_EQ(describe_data_folder_lack(c.lacks), c.text);
    }
    const std::string absent = (fs::path(MW_BINARY_DIR) / "test_data_folder" / "absent").string();
    const int lacks = data_folder_lacks(absent);
    EXPECT_TRUE(lacks & DATA_FOLDER_ABSENT);
    EXPECT_EQ(describe_data_folder_lack(lacks), "does not exist");
}

} // namespace
