// golden_frames.cpp -- golden frames: chosen frames of every scene, captured and hashed.
//
// tests/golden/frames.txt lists "scene words tick hash" per line. Lines with the same words share
// one capture (a fresh process) that runs up to the largest tick; each listed frame is hashed and
// compared, and its scene checked. On a mismatch the actual frame is written to
// <build>/golden/actual/ (and the expected one is in <build>/golden/expected/ when this build
// wrote the list). MW_GOLDEN_UPDATE=1 rewrites the hashes instead: see tests/golden/README.md.
#include <gtest/gtest.h>

#include <poll.h>

#include <cinttypes>
#include <map>
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
using Group = std::vector<GoldenLine*>; // the lines of one capture

const std::string LIST = std::string(MW_SOURCE_DIR) + "/tests/golden/frames.txt";

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

// Starts one capture for all lines with these words; in the child, the picture of every changed
// frame (every listed frame when updating) is written to a PNG.
ChildCapture start_group(const Group& group, const std::string& data, bool update)
{
    int64_t last = 0;
    for (const GoldenLine* line : group)
        last = std::max(last, line->tick);
    std::vector<std::string> args;
    std::istringstream words(group[0]->words == "-" ? "" : group[0]->words);
    for (std::string word; std::getline(words, word, ',');)
        args.push_back(word);
    char limit[32];
    std::snprintf(limit, sizeof limit, "--seconds=%.3f", double(CAPTURE_PAUSE_TICKS + last + 1) * 0.032);
    args.insert(args.end(), { "--capture=null", limit, "--data=" + data });
    const std::string folder = std::string(MW_BINARY_DIR) + (update ? "/golden/expected/" : "/golden/actual/");
    auto listed = [group](const CaptureFrame& frame) {
        return std::any_of(
            group.begin(), group.end(), [&](const GoldenLine* line) { return line->tick == frame.song_tick; });
    };
    auto keep = [group, folder, update](const CaptureFrame& frame) {
        for (const GoldenLine* line : group)
            if (line->tick == frame.song_tick
                && (update || hex(hash_frame_rgb(frame.xrgb, frame.width, frame.height)) != line->hash)) {
                std::filesystem::create_directories(folder);
                write_capture_png(folder + png_name(*line), frame.xrgb, frame.width, frame.height, 1);
            }
    };
    return start_capture_child(args, listed, keep);
}

TEST(GoldenFrames, EveryListedFrameMatches)
{
    std::vector<std::string> comments;
    std::vector<GoldenLine> lines;
    std::ifstream in(LIST);
    for (std::string text; std::getline(in, text);) {
        std::istringstream fields(text);
        GoldenLine line;
        if (text.empty() || text[0] == '#')
            comments.push_back(text);
        else if (fields >> line.scene >> line.words >> line.tick) {
            fields >> line.hash;
            lines.push_back(line);
        }
    }
    ASSERT_FALSE(lines.empty()) << "no golden frames in " << LIST;
    const std::string data = song_folder(false);
    ASSERT_FALSE(data.empty());
    const char* update_env = std::getenv("MW_GOLDEN_UPDATE");
    const bool update = update_env && *update_env && std::string(update_env) != "0";
    if (!update)
        std::filesystem::remove_all(std::string(MW_BINARY_DIR) + "/golden/actual");
    std::map<std::string, Group> groups;
    for (GoldenLine& line : lines)
        groups[line.words].push_back(&line);

    // Two captures at a time, each in its own process. The children are started and read from
    // this one thread: forking while another thread allocates could hang a child.
    std::vector<std::pair<ChildCapture, Group*>> running;
    for (auto next = groups.begin(); next != groups.end() || !running.empty();) {
        for (; running.size() < 2 && next != groups.end(); ++next)
            running.push_back({ start_group(next->second, data, update), &next->second });
        std::vector<pollfd> fds;
        for (const auto& r : running)
            fds.push_back({ r.first.fd, POLLIN, 0 });
        if (poll(fds.data(), nfds_t(fds.size()), -1) < 0)
            continue;
        for (size_t i = running.size(); i-- > 0;) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)) || read_capture_child(&running[i].first))
                continue;
            const ChildRun& run = running[i].first.run;
            for (const ChildFrame& frame : run.frames)
                for (GoldenLine* line : *running[i].second)
                    if (line->tick == frame.song_tick) {
                        line->actual_hash = hex(frame.hash);
                        line->actual_scene = frame.scene;
                    }
            EXPECT_EQ(run.exit_code, 0) << "capture with words " << running[i].second->front()->words;
            running.erase(running.begin() + long(i));
        }
    }

    int changed = 0;
    for (const GoldenLine& line : lines) {
        EXPECT_EQ(line.actual_scene, line.scene)
            << "tick " << line.tick << " with words " << line.words << " shows another scene: pick another tick";
        if (line.actual_hash != line.hash) {
            ++changed;
            EXPECT_TRUE(update) << "scene " << line.scene << " words " << line.words << " tick " << line.tick
                                << ": hash " << line.actual_hash << ", expected " << line.hash << " (see "
                                << MW_BINARY_DIR << "/golden/actual/" << png_name(line) << ")";
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
