// test_capture_child.h -- runs one capture of the whole program in a child process, frames reported back.
//
// Every capture runs in a fresh process (fork), because scenes keep state between runs in
// process-wide storage: a second run in the same process would not start from the same state.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
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

struct HookContext {
    int fd;
    const std::function<bool(const CaptureFrame&)>* want_hash;
    const std::function<void(const CaptureFrame&)>* on_frame;
};

inline void report(void* context, const CaptureFrame* frame)
{
    auto* hook = static_cast<HookContext*>(context);
    ChildFrame out {};
    out.index = frame->index;
    out.song_tick = frame->song_tick;
    out.scene = frame->scene;
    out.position = frame->position;
    out.row = frame->row;
    if (*hook->want_hash && (*hook->want_hash)(*frame))
        out.hash = hash_frame_rgb(frame->xrgb, frame->width, frame->height);
    for (int i = 0; i < CAPTURE_AUDIO_FRAMES_PER_TICK * 2; ++i) {
        const int32_t v = frame->audio[i] < 0 ? -int32_t(frame->audio[i]) : frame->audio[i];
        if (v > out.audio_peak)
            out.audio_peak = v;
    }
    if (*hook->on_frame)
        (*hook->on_frame)(*frame);
    const char* p = reinterpret_cast<const char*>(&out);
    size_t left = sizeof out;
    while (left > 0) {
        const ssize_t n = write(hook->fd, p, left);
        if (n <= 0)
            _exit(97);
        p += n;
        left -= size_t(n);
    }
}

} // namespace capture_child

// A capture running in a child process; its frames arrive on `fd`.
struct ChildCapture {
    pid_t pid = -1;
    int fd = -1;
    ChildRun run;
    ChildFrame partial {};
    size_t have = 0; // bytes of `partial` received so far
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
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return child;
    }
    if (pid == 0) {
        close(fds[0]);
        capture_child::HookContext context { fds[1], &want_hash, &on_frame };
        capture_set_frame_hook(capture_child::report, &context);
        std::vector<const char*> argv { "morrowick" };
        for (const std::string& a : args)
            argv.push_back(a.c_str());
        const int code = demo_main(int(argv.size()), argv.data());
        close(fds[1]);
        std::fflush(nullptr);
        _exit(code & 0xFF);
    }
    close(fds[1]);
    child.pid = pid;
    child.fd = fds[0];
    return child;
}

// Reads what the child has sent (blocking until some bytes or the end arrive). Returns false
// once the child has closed its end; the run's exit code is then filled in.
inline bool read_capture_child(ChildCapture* child)
{
    if (child->fd < 0)
        return false;
    const ssize_t n = read(child->fd, reinterpret_cast<char*>(&child->partial) + child->have,
        sizeof child->partial - child->have);
    if (n > 0) {
        child->have += size_t(n);
        if (child->have == sizeof child->partial) {
            child->run.frames.push_back(child->partial);
            child->have = 0;
        }
        return true;
    }
    close(child->fd);
    child->fd = -1;
    int status = 0;
    waitpid(child->pid, &status, 0);
    child->run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
