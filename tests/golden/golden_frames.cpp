// golden_frames.cpp -- golden frames: chosen frames of every scene, captured and hashed.
//
// tests/golden/frames.txt lists "scene words tick hash" per line. Lines with the same words share
// one capture (a fresh process) that runs up to the largest tick; each listed frame is hashed and
// compared, and its scene checked. On a mismatch the actual frame is written to
// <build>/golden/actual/ (and the expected one is in <build>/golden/expected/ when this build
// wrote the list). MW_GOLDEN_UPDATE=1 rewrites the hashes instead: see tests/golden/README.md.
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <poll.h>
#include <sstream>

#include "test_capture_child.h" // from tests/

namespace {

struct GoldenLine {
    uint32_t scene = 0;
    std::string words; // comma-separated command-line words, "-" for none
    int64_t tick = 0; // song tick: 0 is the first drawn frame
    std::string hash; // 16 hex digits; anything else for a new line
    std::string actual_hash;
    uint32_t actual_scene = 0xFFFFFFFFu;
};

const std::string LIST = std::string(MW_SOURCE_DIR) + "/tests/golden/frames.txt";

std::vector<GoldenLine> read_list(std::vector<std::string>* comments)
{
    std::vector<GoldenLine> lines;
    std::ifstream in(LIST);
    std::string text;
    while (std::getline(in, text)) {
        if (text.empty() || text[0] == '#') {
            comments->push_back(text);
            continue;
        }
        std::istringstream fields(text);
        GoldenLine line;
        if (fields >> line.scene >> line.words >> line.tick) {
            fields >> line.hash;
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> words_of(const std::string& words)
{
    std::vector<std::string> out;
    if (words == "-")
        return out;
    std::stringstream stream(words);
    std::string word;
    while (std::getline(stream, word, ','))
        out.push_back(word);
    return out;
}

std::string hex(uint64_t h)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, h);
    return text;
}

std::string png_name(const GoldenLine& line)
{
    std::string words = line.words == "-" ? "start" : line.words;
    std::replace(words.begin(), words.end(), ',', '_');
    return "scene" + std::to_string(line.scene) + "_" + words + "_" + std::to_string(line.tick) + ".png";
}

// Starts one capture for all lines with these words.
ChildCapture start_group(const std::vector<GoldenLine*>& group, const std::string& data, bool update)
{
    int64_t last = 0;
    for (const GoldenLine* line : group)
        last = std::max(last, line->tick);
    const double seconds = double(CAPTURE_PAUSE_TICKS + last + 1) * 0.032;
    std::vector<std::string> args = words_of(group[0]->words);
    char limit[32];
    std::snprintf(limit, sizeof limit, "--seconds=%.3f", seconds);
    args.insert(args.end(), { "--capture=null", limit, "--data=" + data });

    const std::string folder = std::string(MW_BINARY_DIR) + (update ? "/golden/expected/" : "/golden/actual/");
    auto wanted = [group](const CaptureFrame& frame) {
        for (const GoldenLine* line : group)
            if (line->tick == frame.song_tick)
                return true;
        return false;
    };
    // In the child: keep the picture of every changed frame (every frame when updating).
    auto keep = [group, folder, update](const CaptureFrame& frame) {
        for (const GoldenLine* line : group)
            if (line->tick == frame.song_tick
                && (update || hex(hash_frame_rgb(frame.xrgb, frame.width, frame.height)) != line->hash)) {
                std::filesystem::create_directories(folder);
                write_capture_png(folder + png_name(*line), frame.xrgb, frame.width, frame.height, 1);
            }
    };
    return start_capture_child(args, wanted, keep);
}

// Copies a finished capture's hashes and scenes into its lines.
void finish_group(const std::vector<GoldenLine*>& group, const ChildRun& run)
{
    for (const ChildFrame& frame : run.frames)
        for (GoldenLine* line : group)
            if (line->tick == frame.song_tick) {
                line->actual_hash = hex(frame.hash);
                line->actual_scene = frame.scene;
            }
}

TEST(GoldenFrames, EveryListedFrameMatches)
{
    std::vector<std::string> comments;
    std::vector<GoldenLine> lines = read_list(&comments);
    ASSERT_FALSE(lines.empty()) << "no golden frames in " << LIST;
    const std::string data = song_folder(false);
    ASSERT_FALSE(data.empty());
    const char* update_env = std::getenv("MW_GOLDEN_UPDATE");
    const bool update = update_env && *update_env && std::string(update_env) != "0";
    if (!update)
        std::filesystem::remove_all(std::string(MW_BINARY_DIR) + "/golden/actual");

    std::map<std::string, std::vector<GoldenLine*>> groups;
    for (GoldenLine& line : lines)
        groups[line.words].push_back(&line);
    std::vector<std::vector<GoldenLine*>> work;
    for (auto& entry : groups)
        work.push_back(entry.second);

    // Two captures at a time, each in its own process. The children are started and read from
    // this one thread: forking while another thread allocates could hang a child.
    std::vector<std::string> failures;
    struct Running {
        ChildCapture child;
        std::vector<GoldenLine*> group;
    };
    std::vector<Running> running;
    size_t next = 0;
    while (next < work.size() || !running.empty()) {
        while (running.size() < 2 && next < work.size()) {
            running.push_back({ start_group(work[next], data, update), work[next] });
            ++next;
        }
        std::vector<pollfd> fds;
        for (const Running& r : running)
            fds.push_back({ r.child.fd, POLLIN, 0 });
        if (poll(fds.data(), nfds_t(fds.size()), -1) < 0)
            continue;
        for (size_t i = running.size(); i-- > 0;) {
            if (running[i].child.fd >= 0 && !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            if (read_capture_child(&running[i].child))
                continue;
            const ChildRun& run = running[i].child.run;
            finish_group(running[i].group, run);
            if (run.exit_code != 0)
                failures.push_back("capture with words " + running[i].group[0]->words + " exited with "
                    + std::to_string(run.exit_code));
            running.erase(running.begin() + long(i));
        }
    }
    for (const std::string& failure : failures)
        ADD_FAILURE() << failure;

    int changed = 0;
    for (const GoldenLine& line : lines) {
        EXPECT_EQ(line.actual_scene, line.scene)
            << "tick " << line.tick << " with words " << line.words << " shows scene " << line.actual_scene << ", not "
            << line.scene << ": pick another tick";
        if (line.actual_hash != line.hash) {
            ++changed;
            if (!update)
                ADD_FAILURE() << "scene " << line.scene << " words " << line.words << " tick " << line.tick << ": hash "
                              << line.actual_hash << ", expected " << line.hash << " (see " << MW_BINARY_DIR
                              << "/golden/actual/" << png_name(line) << ")";
        }
    }
    if (update && changed > 0) {
        std::ofstream out(LIST);
        for (const std::string& comment : comments)
            out << comment << "\n";
        for (const GoldenLine& line : lines)
            out << line.scene << " " << line.words << " " << line.tick << " " << line.actual_hash << "\n";
        std::printf("golden frames: %d hashes rewritten in %s\n", changed, LIST.c_str());
    }
}

} // namespace
