// test_capture_integrity.cpp -- a capture either puts a checked result in place or fails with a
// reason, exit 255 and no files; interrupts give 130/143; an older file of that name survives.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/capture.h"

namespace {
namespace fs = std::filesystem;

struct Folder {
    fs::path root = fs::temp_directory_path() / ("mw_integrity_" + std::to_string(getpid()));
    bool mounted = false;
    Folder()
    {
        fs::remove_all(root);
        fs::create_directories(root);
    }
    ~Folder()
    {
        if (mounted)
            std::system(("umount " + root.string()).c_str());
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> names_in(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Starts the program with these arguments (data from the build); stderr goes to `log`.
// file_limit > 0 sets a file-size limit (bytes); path_prefix goes in front of PATH.
pid_t start(
    const std::vector<std::string>& args, const fs::path& log, long file_limit = 0, const std::string& path_prefix = "")
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    if (file_limit > 0) {
        rlimit limit { rlim_t(file_limit), rlim_t(file_limit) };
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (!path_prefix.empty())
        setenv("PATH", (path_prefix + ":" + std::getenv("PATH")).c_str(), 1);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!std::freopen(log.c_str(), "w", stderr))
        _exit(99);
    std::vector<std::string> all = { MW_BINARY_DIR "/morrowick", "--data=" MW_BINARY_DIR, "--scale=1" };
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(98);
}

int wait_exit(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool have_ffmpeg()
{
    return !find_program("ffmpeg").empty();
}

TEST(CaptureIntegrity, FullDiskFailsWithAReasonNoFilesAndTheOldFileKept)
{
    Folder folder;
    // A small file system when we may mount one, else a file-size limit.
    long file_limit = 0;
    if (geteuid() == 0)
        folder.mounted
            = std::system(("mount -t tmpfs -o size=256k mw_integrity " + folder.root.string() + " 2>/dev/null").c_str())
            == 0;
    if (!folder.mounted)
        file_limit = 200 * 1024;
    const fs::path log = fs::temp_directory_path() / ("mw_integrity_log_" + std::to_string(getpid()));
    std::vector<std::string> outputs = { "frames" };
    if (have_ffmpeg())
        outputs.push_back("v.mkv");
    for (const std::string& output : outputs) {
        const fs::path target = folder.root / output;
        const fs::path previous = output == "frames" ? target / "frame_000000.png" : target;
        fs::create_directories(previous.parent_path());
        write_file(previous, "previous capture");
        const std::vector<std::string> before = names_in(previous.parent_path());
        const int code = wait_exit(start({ "--capture=" + target.string(), "--seconds=8", "part12" }, log, file_limit));
        const std::string message = read_file(log);
        EXPECT_EQ(code, 255) << output << ": " << message;
        EXPECT_TRUE(
            message.find("disk is full") != std::string::npos || message.find("file-size limit") != std::string::npos)
            << output << ": " << message;
        EXPECT_EQ(read_file(previous), "previous capture") << output;
        EXPECT_EQ(names_in(previous.parent_path()), before) << output << ": temporaries left";
        fs::remove_all(output == "frames" ? target : previous);
    }
    fs::remove(log);
}

TEST(CaptureIntegrity, EncoderErrorOutputFailsEvenWithExitZeroAndStaleTemporariesGo)
{
    Folder folder;
    // An ffmpeg that reads everything, complains the way a full disk makes it, and exits 0.
    const fs::path bin = folder.root / "bin";
    fs::create_directories(bin);
    write_file(bin / "ffmpeg",
        "#!/bin/sh\ncat >/dev/null\necho '[matroska @ 0x1] Error writing trailer: No space left on device' >&2\n"
        "exit 0\n");
    fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
    const fs::path out = folder.root / "out";
    fs::create_directories(out);
    write_file(out / "v.mkv", "previous capture");
    // Left by a capture that was killed: its process (an id no process can have) is gone.
    write_file(out / ".v.mkv.mwtmp-2147483000.audio.wav", "stale");
    const fs::path log = folder.root / "log";
    const int code = wait_exit(start({ "--capture=" + (out / "v.mkv").string(), "--seconds=3" }, log, 0, bin.string()));
    const std::string message = read_file(log);
    EXPECT_EQ(code, 255) << message;
    EXPECT_NE(message.find("disk is full"), std::string::npos) << message;
    EXPECT_EQ(read_file(out / "v.mkv"), "previous capture");
    EXPECT_EQ(names_in(out), std::vector<std::string> { "v.mkv" });
}

TEST(CaptureIntegrity, InterruptsExitWithTheSignalAndKeepOnlyWhatIsAskedFor)
{
    Folder folder;
    struct Case {
        int signal_number;
        bool keep_partial;
        int exit_code;
    };
    const Case cases[] = { { SIGTERM, false, 143 }, { SIGINT, true, 130 } };
    for (const Case& c : cases) {
        const fs::path target = folder.root / "frames";
        const fs::path log = folder.root / "log";
        std::vector<std::string> args = { "--capture=" + target.string(), "--seconds=200" };
        if (c.keep_partial)
            args.push_back("--keep-partial");
        const pid_t pid = start(args, log);
        // Wait until frames past the start-up pause are being written.
        const fs::path temp = target / (".mwtmp-" + std::to_string(pid));
        for (int i = 0; i < 600 && names_in(temp).size() < 80; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        kill(pid, c.signal_number);
        const int code = wait_exit(pid);
        const std::string message = read_file(log);
        EXPECT_EQ(code, c.exit_code) << message;
        EXPECT_NE(message.find("interrupted"), std::string::npos) << message;
        if (c.keep_partial) {
            const std::vector<std::string> kept = names_in(target);
            EXPECT_GE(kept.size(), 80u);
            EXPECT_TRUE(std::find(kept.begin(), kept.end(), "audio.wav") != kept.end());
            EXPECT_TRUE(std::none_of(kept.begin(), kept.end(), [](const std::string& n) { return n[0] == '.'; }));
        } else {
            EXPECT_FALSE(fs::exists(target)) << "the folder this capture made stays only with its frames";
        }
        fs::remove_all(target);
    }
}

} // namespace
