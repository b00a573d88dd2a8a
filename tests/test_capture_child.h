// test_capture_child.h -- running the program in a child process: one capture with its frames
// reported back (forked, demo_main in the child), or the built executable with its output kept;
// plus a temporary folder and whole-file reading and writing.
//
// Every capture runs in a fresh process (fork), because scenes keep state between runs in
// process-wide storage: a second run in the same process would not start from the same state.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/capture.h"
#include "app/startup.h"

// What the child reports for one output frame.
struct ChildFrame {
    uint64_t index;
    int64_t song_tick;
    uint32_t scene, position, row;
    uint64_t hash; // 0 unless the frame was asked for
    int32_t audio_peak; // largest absolute sample of the frame's audio
};

struct ChildRun {
    int exit_code = -1;
    std::vector<ChildFrame> frames;
};

namespace capture_child {

// The forked child's pipe and choices: the child runs one capture, so they can be process-wide.
inline int fd = -1;
inline std::function<bool(const CaptureFrame&)> want_hash;
inline std::function<void(const CaptureFrame&)> on_frame;

inline void report(void*, const CaptureFrame* frame)
{
    ChildFrame out { frame->index, frame->song_tick, frame->scene, frame->position, frame->row, 0, 0 };
    if (want_hash && want_hash(*frame))
        out.hash = hash_frame_rgb(frame->xrgb, frame->width, frame->height);
    for (int i = 0; i < CAPTURE_AUDIO_FRAMES_PER_TICK * 2; ++i)
        out.audio_peak = std::max(out.audio_peak, std::abs(int32_t(frame->audio[i])));
    if (on_frame)
        on_frame(*frame);
    // One write of fewer than PIPE_BUF bytes: a pipe takes it whole, and a read of that size
    // returns it whole.
    if (write(fd, &out, sizeof out) != ssize_t(sizeof out))
        _exit(97);
}

// The exit code as a shell reports it: 128 + the signal's number when a signal ended the process.
inline int exit_code(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace capture_child

// A capture running in a child process; its frames arrive on `fd`.
struct ChildCapture {
    pid_t pid = -1;
    int fd = -1;
    ChildRun run;
};

// Starts `morrowick args...` with a frame hook in a child. want_hash picks the frames to hash;
// on_frame (in the child) may keep pictures. Both may be empty. Fork from a single-threaded
// process only: a child forked while another thread holds an allocator lock can hang.
inline ChildCapture start_capture_child(const std::vector<std::string>& args,
    std::function<bool(const CaptureFrame&)> want_hash = {}, std::function<void(const CaptureFrame&)> on_frame = {})
{
    ChildCapture child;
    int fds[2];
    if (pipe(fds) != 0)
        return child;
    std::fflush(nullptr);
    child.pid = fork();
    if (child.pid == 0) {
        close(fds[0]);
        capture_child::fd = fds[1];
        capture_child::want_hash = std::move(want_hash);
        capture_child::on_frame = std::move(on_frame);
        capture_set_frame_hook(capture_child::report, nullptr);
        std::vector<const char*> argv { "morrowick" };
        for (const std::string& a : args)
            argv.push_back(a.c_str());
        const int code = demo_main(int(argv.size()), argv.data());
        std::fflush(nullptr);
        _exit(code & 0xFF);
    }
    close(fds[1]);
    if (child.pid < 0)
        close(fds[0]);
    else
        child.fd = fds[0];
    return child;
}

// Reads one frame the child has sent (blocking until it or the end arrives). Returns false once
// the child has closed its end; the run's exit code is then filled in.
inline bool read_capture_child(ChildCapture* child)
{
    ChildFrame frame;
    if (child->fd < 0)
        return false;
    if (read(child->fd, &frame, sizeof frame) == ssize_t(sizeof frame)) {
        child->run.frames.push_back(frame);
        return true;
    }
    close(child->fd);
    child->fd = -1;
    int status = 0;
    waitpid(child->pid, &status, 0);
    child->run.exit_code = capture_child::exit_code(status);
    return false;
}

// Runs one capture in a child and waits for it.
inline ChildRun run_capture_child(const std::vector<std::string>& args,
    std::function<bool(const CaptureFrame&)> want_hash = {}, std::function<void(const CaptureFrame&)> on_frame = {})
{
    ChildCapture child = start_capture_child(args, std::move(want_hash), std::move(on_frame));
    while (read_capture_child(&child)) { }
    return child.run;
}

// A folder holding data/ (the generated set) and xm/ (the test song, or the real one).
inline std::string song_folder(bool test_song)
{
    const std::string dir = std::string(MW_BINARY_DIR) + (test_song ? "/capture_test_song" : "/capture_real_song");
    const std::string xm = std::string(MW_BINARY_DIR) + (test_song ? "/testdata/xm" : "/xm");
    std::string command = "mkdir -p '" + dir + "' && ln -sfn '" + MW_BINARY_DIR + "/data' '" + dir
        + "/data' && ln -sfn '" + xm + "' '" + dir + "/xm'";
    return std::system(command.c_str()) == 0 ? dir : std::string();
}

// Every file the data set-up reads, in the order it reads them (the first SETUP_FILE_COUNT);
// then the two animations that their scenes load when they start.
inline const std::vector<std::string> DATA_FILES = { "bump.raw", "ringface.acg", "bottle.acg", "credits.acg",
    "crd1.acg", "crd2.acg", "bricks.acg", "upsbot.acg", "title.acg", "warper.acg", "bottlemosh.ma", "blam1.acg",
    "blam2.acg", "blam3.acg", "footpath.ma", "box1.ma", "box2.ma", "road.ma", "conerow.ma", "chickcone.ma",
    "roadline.ma", "face1.acg", "face2.acg", "face3.acg", "world.acg", "clouds.acg", "light.acg", "riptlt.acg",
    "quenvask.acg", "endtext1.acg", "boxflame.pal", "vheight.raw", "vcol.raw", "greets.acg", "run.pal", "dtitle.acg",
    "dq.acg", "da.acg", "dlast.acg", "boxflame.rlm", "run.rlm" };
constexpr size_t SETUP_FILE_COUNT = 39;

// A fresh folder in the system's temporary folder, removed with everything in it at the end.
struct TempFolder {
    std::filesystem::path root;
    explicit TempFolder(const std::string& tag)
        : root(std::filesystem::temp_directory_path() / ("mw_" + tag + "_" + std::to_string(getpid())))
    {
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
};

inline std::string read_whole_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_whole_file(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// The sorted names in a folder (none when it does not exist).
inline std::vector<std::string> names_in(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Starts the built executable with these arguments (shell words) on SDL's dummy drivers, its
// standard output and error going to `log`. `setup` runs first in the same shell (a ulimit, a
// PATH); after `seconds` the program is ended by SIGALRM (exit code 142) so that a hang fails.
inline pid_t start_program(
    const std::string& args, const std::filesystem::path& log, const std::string& setup = "", unsigned seconds = 120)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string command = setup
            + "\nexport SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy\nexec " MW_BINARY_DIR "/morrowick " + args + " >'"
            + log.string() + "' 2>&1";
        alarm(seconds);
        execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
        _exit(98);
    }
    return pid;
}

inline int wait_program(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return capture_child::exit_code(status);
}

struct ProgramResult {
    int exit_code;
    std::string output; // standard output and error
    double seconds;
};

// Runs the built executable to its end.
inline ProgramResult run_program(const std::string& args, const std::string& setup = "")
{
    const std::filesystem::path log = std::filesystem::temp_directory_path() / ("mw_log_" + std::to_string(getpid()));
    const auto start = std::chrono::steady_clock::now();
    const int code = wait_program(start_program(args, log, setup));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ProgramResult result { code, read_whole_file(log), seconds };
    std::filesystem::remove(log);
    return result;
}
