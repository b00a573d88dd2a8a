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

// Runs `morrowick args...` with a frame hook in a child. want_hash picks the frames to hash;
// on_frame (in the child) may keep pictures. Both may be empty.
inline ChildRun run_capture_child(const std::vector<std::string>& args,
    std::function<bool(const CaptureFrame&)> want_hash = {}, std::function<void(const CaptureFrame&)> on_frame = {})
{
    ChildRun run;
    int fds[2];
    if (pipe(fds) != 0)
        return run;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        return run;
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
    ChildFrame frame;
    size_t have = 0;
    for (;;) {
        const ssize_t n = read(fds[0], reinterpret_cast<char*>(&frame) + have, sizeof frame - have);
        if (n <= 0)
            break;
        have += size_t(n);
        if (have == sizeof frame) {
            run.frames.push_back(frame);
            have = 0;
        }
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
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
