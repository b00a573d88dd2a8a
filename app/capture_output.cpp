// capture_output.cpp -- where captured frames go: PNG folder + WAV, video through ffmpeg, contact sheet.
#include <png.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/capture.h"
#include "app/platform.h"
#include "app/process.h"
#include "display/bytes.h"
#include "sound/sound.h"

namespace {

bool ends_with(const std::string& s, const char* suffix)
{
    const size_t n = std::strlen(suffix);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i])
            return false;
    return true;
}

std::string shell_quoted(const std::string& s)
{
    return platform_shell_quoted(s);
}

// 16-bit stereo 48 kHz WAV, sizes filled in when closed.
struct WavWriter {
    FILE* file = nullptr;
    uint64_t frames = 0;
    bool started = false; // files opened (with the first frame)
    bool start_failed = false;
};

void wav_header(uint8_t* h, uint64_t frames)
{
    const uint64_t data = frames * 4;
    const uint32_t data32 = data > 0xFFFFFFFFull - 36 ? 0xFFFFFFFFu - 36 : uint32_t(data);
    std::memcpy(h, "RIFF", 4);
    store_u32(h + 4, 36 + data32);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    store_u32(h + 16, 16);
    store_u16(h + 20, 1); // PCM
    store_u16(h + 22, 2);
    store_u32(h + 24, SOUND_SAMPLE_RATE);
    store_u32(h + 28, SOUND_SAMPLE_RATE * 4);
    store_u16(h + 32, 4);
    store_u16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    store_u32(h + 40, data32);
}

bool wav_open(WavWriter* wav, const std::string& path)
{
    wav->file = std::fopen(path.c_str(), "wb");
    if (!wav->file)
        return false;
    uint8_t h[44];
    wav_header(h, 0);
    return std::fwrite(h, 1, sizeof h, wav->file) == sizeof h;
}

bool wav_write(WavWriter* wav, const int16_t* samples, int frames)
{
    uint8_t bytes[CAPTURE_AUDIO_FRAMES_PER_TICK * 4];
    const int n = std::min(frames, CAPTURE_AUDIO_FRAMES_PER_TICK);
    for (int i = 0; i < n * 2; ++i)
        store_u16(bytes + 2 * i, uint16_t(samples[i]));
    wav->frames += uint64_t(n);
    return std::fwrite(bytes, 4, size_t(n), wav->file) == size_t(n);
}

bool wav_close(WavWriter* wav)
{
    if (!wav->file)
        return true;
    uint8_t h[44];
    wav_header(h, wav->frames);
    bool ok = std::fseek(wav->file, 0, SEEK_SET) == 0 && std::fwrite(h, 1, sizeof h, wav->file) == sizeof h;
    ok = std::fclose(wav->file) == 0 && ok;
    wav->file = nullptr;
    return ok;
}

constexpr int SHEET_COLUMNS = 8;
constexpr int SHEET_ROWS = 6;
constexpr int SHEET_GAP = 4;
constexpr size_t SHEET_KEEP_MAX = 1024;

// Half-size thumbnails taken every `stride` drawn frames; when too many are kept, every other
// one is dropped and the stride doubles, so they stay evenly spread over any length.
struct Sheet {
    int thumb_width = 0, thumb_height = 0;
    uint64_t stride = 8;
    std::vector<std::vector<uint32_t>> thumbs;
};

void sheet_take(Sheet* sheet, const CaptureFrame* frame)
{
    if (frame->song_tick < 0 || uint64_t(frame->song_tick) % sheet->stride != 0)
        return;
    const int tw = frame->width / 2, th = frame->height / 2;
    sheet->thumb_width = tw;
    sheet->thumb_height = th;
    std::vector<uint32_t> thumb(size_t(tw) * size_t(th));
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x) {
            // Average of the 2x2 block, per channel.
            const uint32_t* p = frame->xrgb + size_t(2 * y) * size_t(frame->width) + size_t(2 * x);
            const uint32_t q[4] = { p[0], p[1], p[frame->width], p[frame->width + 1] };
            uint32_t out = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                uint32_t sum = 0;
                for (uint32_t v : q)
                    sum += (v >> shift) & 0xFF;
                out |= ((sum + 2) / 4) << shift;
            }
            thumb[size_t(y) * size_t(tw) + size_t(x)] = out;
        }
    sheet->thumbs.push_back(std::move(thumb));
    if (sheet->thumbs.size() >= SHEET_KEEP_MAX) {
        size_t kept = 0;
        for (size_t i = 0; i < sheet->thumbs.size(); i += 2, ++kept)
            if (kept != i) // a vector moved onto itself comes out empty
                sheet->thumbs[kept] = std::move(sheet->thumbs[i]);
        sheet->thumbs.resize(kept);
        sheet->stride *= 2;
    }
}

bool sheet_write(const Sheet* sheet, const std::string& path)
{
    const size_t count = sheet->thumbs.size();
    if (count == 0)
        return false;
    const size_t cells = std::min<size_t>(count, SHEET_COLUMNS * SHEET_ROWS);
    const int columns = int(std::min<size_t>(cells, SHEET_COLUMNS));
    const int rows = int((cells + size_t(columns) - 1) / size_t(columns));
    const int tw = sheet->thumb_width, th = sheet->thumb_height;
    const int width = columns * (tw + SHEET_GAP) + SHEET_GAP;
    const int height = rows * (th + SHEET_GAP) + SHEET_GAP;
    std::vector<uint32_t> page(size_t(width) * size_t(height), 0x202020u);
    for (size_t c = 0; c < cells; ++c) {
        const size_t pick = cells == 1 ? 0 : c * (count - 1) / (cells - 1);
        const int x0 = SHEET_GAP + int(c % size_t(columns)) * (tw + SHEET_GAP);
        const int y0 = SHEET_GAP + int(c / size_t(columns)) * (th + SHEET_GAP);
        for (int y = 0; y < th; ++y)
            std::memcpy(&page[size_t(y0 + y) * size_t(width) + size_t(x0)],
                &sheet->thumbs[pick][size_t(y) * size_t(tw)], size_t(tw) * 4);
    }
    return write_capture_png(path, page.data(), width, height, 1);
}

} // namespace

struct CaptureOutput {
    CaptureKind kind = CaptureKind::none;
    std::string path; // where the result goes: a file, or the PNG folder
    std::string folder; // where the temporaries are made (same file system as path)
    std::string temp; // file kinds: folder/.NAME.mwtmp-PID; folder kind: folder/.mwtmp-PID
    bool created_folder = false; // the PNG folder did not exist before
    int scale = 1;
    int fps = 0;
    int width = 0, height = 0;
    WavWriter wav;
    std::string ffmpeg, ffprobe;
    FILE* encoder = nullptr; // ffmpeg reading raw RGB frames
    std::string log_path; // ffmpeg's error output
    std::string video_temp, audio_temp, result_temp;
    std::vector<uint8_t> rgb;
    Sheet sheet;
    std::vector<std::string> written; // PNG folder: files made in the temporary folder
    uint64_t frames = 0;
    bool started = false; // files opened (with the first frame)
    std::string failure; // the first thing that went wrong, or empty
};

CaptureKind capture_kind(const std::string& path, bool sheet)
{
    if (path == "null")
        return CaptureKind::none;
    if (ends_with(path, ".mp4") || ends_with(path, ".mkv") || ends_with(path, ".webm"))
        return CaptureKind::video;
    if (sheet && ends_with(path, ".png"))
        return CaptureKind::sheet;
    return CaptureKind::folder;
}

std::string find_program(const char* program)
{
    return platform_find_program(program);
}

uint64_t hash_frame_rgb(const uint32_t* xrgb, int width, int height)
{
    uint64_t h = 0xCBF29CE484222325ull;
    const size_t count = size_t(width) * size_t(height);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = xrgb[i];
        const uint8_t bytes[3] = { uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p) };
        for (uint8_t b : bytes) {
            h ^= b;
            h *= 0x100000001B3ull;
        }
    }
    return h;
}

bool write_capture_png(const std::string& path, const uint32_t* xrgb, int width, int height, int scale)
{
    if (width <= 0 || height <= 0 || scale < 1)
        return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        return false;
    }
    const int out_width = width * scale;
    std::vector<uint8_t> row(size_t(out_width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    // Fast settings: a capture writes thousands of frames.
    png_set_compression_level(png, 1);
    png_set_filter(png, 0, PNG_FILTER_SUB);
    png_set_IHDR(png, info, png_uint_32(out_width), png_uint_32(height * scale), 8, PNG_COLOR_TYPE_RGB,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const uint32_t* src = xrgb + size_t(y) * size_t(width);
        for (int x = 0; x < out_width; ++x) {
            const uint32_t p = src[x / scale];
            row[3 * size_t(x)] = uint8_t(p >> 16);
            row[3 * size_t(x) + 1] = uint8_t(p >> 8);
            row[3 * size_t(x) + 2] = uint8_t(p);
        }
        for (int r = 0; r < scale; ++r)
            png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

namespace {

namespace fs = std::filesystem;

// Temporaries carry this marker and the id of the process that made them.
constexpr const char* TEMP_MARKER = ".mwtmp-";

std::string temp_name_for(const std::string& name)
{
    return "." + name + TEMP_MARKER + std::to_string(process_id());
}

// The process id in a temporary's name, or 0 when the name is not one of ours.
int temp_owner(const std::string& name)
{
    const size_t at = name.find(TEMP_MARKER);
    if (at == std::string::npos)
        return 0;
    const char* digits = name.c_str() + at + std::strlen(TEMP_MARKER);
    char* end = nullptr;
    const long pid = std::strtol(digits, &end, 10);
    if (end == digits || (*end != '\0' && *end != '.') || pid <= 0 || pid > 0x7FFFFFFF)
        return 0;
    return int(pid);
}

// Temporaries left in the folder by captures that were killed (their process is gone).
void remove_stale_temporaries(const std::string& folder)
{
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error)
        return;
    for (const fs::directory_entry& entry : it) {
        const int owner = temp_owner(entry.path().filename().string());
        if (owner != 0 && owner != process_id() && !process_alive(owner)) {
            std::error_code ignored;
            fs::remove_all(entry.path(), ignored);
        }
    }
}

// What a failed write means to a user.
std::string write_failure(int error)
{
    if (error == ENOSPC)
        return "the disk is full (No space left on device)";
#ifdef EDQUOT
    if (error == EDQUOT)
        return "the disk quota is used up (Disk quota exceeded)";
#endif
    if (error == EFBIG)
        return "the file-size limit was reached (File too large)";
    return error ? std::strerror(error) : "a write failed";
}

void fail(CaptureOutput* out, const std::string& reason)
{
    if (out->failure.empty())
        out->failure = reason;
}

std::string read_text_file(const std::string& path)
{
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() < 65536)
            text.append(buffer, got);
        std::fclose(file);
    }
    return text;
}

// ffmpeg at -loglevel error prints only errors: any output at all is a failure, whatever its
// exit status says (it exits 0 after "Error writing trailer ... No space left on device").
std::string encoder_failure(const CaptureOutput* out, int status, const char* step)
{
    std::string log = read_text_file(out->log_path);
    while (!log.empty() && (log.back() == '\n' || log.back() == '\r' || log.back() == ' '))
        log.pop_back();
    if (status == 0 && log.empty())
        return "";
    const size_t line_end = log.find('\n');
    std::string first = log.substr(0, line_end);
    if (log.find("No space left on device") != std::string::npos)
        return "the disk is full (ffmpeg: " + first + ")";
    if (log.find("File too large") != std::string::npos)
        return "the file-size limit was reached (ffmpeg: " + first + ")";
    if (!first.empty())
        return std::string("ffmpeg failed while ") + step + ": " + first;
    return std::string("ffmpeg failed while ") + step + " (exit status " + std::to_string(status) + ")";
}

// Runs a command with its error output appended to the encoder log; its exit status.
int run_logged(const CaptureOutput* out, const std::string& command)
{
    const int status = platform_run(command + " 2>>" + shell_quoted(out->log_path));
    return status;
}

// The video's duration in seconds as ffprobe reads it back, or a negative number.
double probe_duration(const CaptureOutput* out, const std::string& file)
{
    if (out->ffprobe.empty())
        return -1.0;
    const std::string command = shell_quoted(out->ffprobe)
        + " -v error -show_entries format=duration -of default=noprint_wrappers=1:nokey=1 " + shell_quoted(file)
        + " 2>>" + shell_quoted(out->log_path);
    FILE* pipe = platform_read_pipe(command);
    if (!pipe)
        return -1.0;
    char line[128] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    const int status = platform_close_pipe(pipe);
    if (!got || status != 0)
        return -1.0;
    char* end = nullptr;
    const double seconds = std::strtod(line, &end);
    return end != line ? seconds : -1.0;
}

// Files are opened with the first frame, so a start-up failure leaves nothing behind.
bool start_output(CaptureOutput* out)
{
    if (out->kind == CaptureKind::folder) {
        std::error_code error;
        if (!fs::create_directory(out->temp, error) || error) {
            fail(out, "cannot make a folder in " + out->folder + ": " + error.message());
            return false;
        }
        errno = 0;
        if (!wav_open(&out->wav, out->temp + "/audio.wav")) {
            fail(out, write_failure(errno));
            return false;
        }
        out->written.push_back("audio.wav");
        return true;
    }
    if (out->kind == CaptureKind::video) {
        const int width = out->width, height = out->height;
        // The video is encoded while the demo runs; the audio, known only at the end, is muxed
        // after, into a third temporary that is renamed into place once it has been checked.
        out->video_temp = out->temp + ".video.mkv";
        out->audio_temp = out->temp + ".audio.wav";
        out->result_temp = out->temp + fs::path(out->path).extension().string();
        errno = 0;
        if (!wav_open(&out->wav, out->audio_temp)) {
            fail(out, write_failure(errno));
            return false;
        }
        std::string filters;
        if (out->scale > 1)
            filters = "scale=" + std::to_string(width * out->scale) + ":" + std::to_string(height * out->scale)
                + ":flags=neighbor";
        if (out->fps)
            filters += (filters.empty() ? "" : ",") + std::string("fps=") + std::to_string(out->fps);
        const bool webm = ends_with(out->path, ".webm");
        const std::string codec = webm ? "-c:v libvpx-vp9 -crf 15 -b:v 0 -deadline good -cpu-used 4 -row-mt 1"
                                       : "-c:v libx264 -preset veryfast -crf 12";
        const std::string command = shell_quoted(out->ffmpeg)
            + " -nostdin -hide_banner -loglevel error -y -f rawvideo -pix_fmt rgb24 -s " + std::to_string(width) + "x"
            + std::to_string(height) + " -framerate 125/4 -i -" + (filters.empty() ? "" : " -vf " + filters) + " "
            + codec + " -pix_fmt yuv420p " + shell_quoted(out->video_temp) + " 2>>" + shell_quoted(out->log_path);
        out->encoder = platform_open_pipe(command);
        if (!out->encoder) {
            fail(out, "cannot start " + out->ffmpeg + ": " + std::strerror(errno));
            return false;
        }
        out->rgb.resize(size_t(width) * size_t(height) * 3);
    }
    return true;
}

// Removes every temporary of this capture (and the PNG folder if this capture made it).
void remove_temporaries(CaptureOutput* out)
{
    if (out->encoder) {
        platform_close_pipe(out->encoder);
        out->encoder = nullptr;
    }
    if (out->wav.file) {
        std::fclose(out->wav.file);
        out->wav.file = nullptr;
    }
    std::error_code error;
    if (out->kind == CaptureKind::folder) {
        fs::remove_all(out->temp, error);
        if (out->created_folder && fs::is_empty(out->path, error))
            fs::remove(out->path, error);
    }
    for (const std::string* file : { &out->video_temp, &out->audio_temp, &out->result_temp })
        if (!file->empty())
            fs::remove(*file, error);
    if (!out->log_path.empty())
        fs::remove(out->log_path, error);
}

// Finishes the files and checks them; true when the result is ready to be renamed into place.
bool finish_files(CaptureOutput* out, bool partial)
{
    errno = 0;
    if (out->wav.file && !wav_close(&out->wav))
        fail(out, write_failure(errno));
    if (out->kind == CaptureKind::sheet) {
        if (out->sheet.thumbs.empty()) {
            fail(out,
                "no frame was drawn yet: the first one comes " + std::to_string(CAPTURE_PAUSE_TICKS * 32)
                    + " ms after the start (give a longer --seconds)");
            return false;
        }
        out->result_temp = out->temp + ".png";
        errno = 0;
        if (!sheet_write(&out->sheet, out->result_temp))
            fail(out, write_failure(errno));
        return out->failure.empty();
    }
    if (out->kind != CaptureKind::video)
        return out->failure.empty();

    const int status = out->encoder ? platform_close_pipe(out->encoder) : -1;
    out->encoder = nullptr;
    // An interrupt may have stopped ffmpeg too (Ctrl+C reaches the whole process group); a
    // partial result is judged by whether it reads back.
    if (!partial)
        fail(out, encoder_failure(out, status, "encoding the video"));
    if (!out->failure.empty())
        return false;
    std::string audio = "-c:a aac -b:a 256k";
    if (ends_with(out->path, ".webm"))
        audio = "-c:a libopus -b:a 192k";
    else if (ends_with(out->path, ".mkv"))
        audio = "-c:a flac";
    const std::string command = shell_quoted(out->ffmpeg) + " -nostdin -hide_banner -loglevel error -y -i "
        + shell_quoted(out->video_temp) + " -i " + shell_quoted(out->audio_temp) + " -map 0:v -map 1:a -c:v copy "
        + audio + (partial ? " -shortest" : "") + (ends_with(out->path, ".mp4") ? " -movflags +faststart " : " ")
        + shell_quoted(out->result_temp);
    fail(out, encoder_failure(out, run_logged(out, command), "adding the audio"));
    if (!out->failure.empty())
        return false;
    // The container must read back with the length that was written.
    const double seconds = probe_duration(out, out->result_temp);
    const double expected = double(out->frames) * CAPTURE_TICK_MS / 1000.0;
    const double frame = out->fps ? 1.0 / out->fps : CAPTURE_TICK_MS / 1000.0;
    if (!out->ffprobe.empty() && (seconds < 0 || (partial && seconds == 0))) {
        fail(out, encoder_failure(out, 1, "reading the video back"));
        return false;
    }
    // Audio codecs pad their last packet, so the container may run up to one audio frame over.
    if (!partial && seconds >= 0 && std::fabs(seconds - expected) > frame + CAPTURE_AUDIO_PADDING_SECONDS) {
        char text[160];
        std::snprintf(text, sizeof text, "the video reads back as %.3f s, not the %.3f s written", seconds, expected);
        fail(out, text);
        return false;
    }
    return true;
}

// Moves the finished result into place; a previous file of that name is replaced only now.
bool put_in_place(CaptureOutput* out)
{
    std::error_code error;
    if (out->kind == CaptureKind::folder) {
        for (const std::string& name : out->written) {
            fs::rename(out->temp + "/" + name, out->path + "/" + name, error);
            if (error) {
                fail(out, "cannot move " + name + " into " + out->path + ": " + error.message());
                return false;
            }
        }
        return true;
    }
    if (out->kind == CaptureKind::video || out->kind == CaptureKind::sheet) {
        fs::rename(out->result_temp, out->path, error);
        if (error) {
            fail(out, "cannot rename the result to " + out->path + ": " + error.message());
            return false;
        }
        out->result_temp.clear();
    }
    return true;
}

} // namespace

CaptureOutput* open_capture_output(const CaptureOptions* options, int width, int height)
{
    auto* out = new CaptureOutput;
    out->kind = capture_kind(options->path, options->sheet);
    out->path = options->path;
    out->scale = options->scale > 0 ? options->scale : (out->kind == CaptureKind::video ? 4 : 1);
    out->fps = options->fps;
    out->width = width;
    out->height = height;
    if (out->kind == CaptureKind::video) {
        out->ffmpeg = find_program("ffmpeg");
        out->ffprobe = find_program("ffprobe");
        if (out->ffmpeg.empty()) {
            std::fprintf(stderr,
                "morrowick: capturing to %s needs the program ffmpeg, which is not on PATH: install ffmpeg, "
                "or capture to a folder of PNG frames (--capture=DIR)\n",
                out->path.c_str());
            delete out;
            return nullptr;
        }
    }
    std::error_code error;
    if (out->kind == CaptureKind::folder) {
        out->created_folder = !fs::exists(out->path, error);
        fs::create_directories(out->path, error);
        if (!fs::is_directory(out->path, error)) {
            std::fprintf(stderr, "morrowick: cannot make the capture folder %s: %s\n", out->path.c_str(),
                error ? error.message().c_str() : "a file of that name is in the way");
            delete out;
            return nullptr;
        }
        out->folder = out->path;
        out->temp = out->folder + "/" + TEMP_MARKER + std::to_string(process_id());
    } else if (out->kind != CaptureKind::none) {
        const fs::path target(out->path);
        out->folder = target.has_parent_path() ? target.parent_path().string() : ".";
        out->temp = out->folder + "/" + temp_name_for(target.filename().string());
        if (!fs::is_directory(out->folder, error)) {
            std::fprintf(stderr, "morrowick: cannot write %s: the folder %s does not exist\n", out->path.c_str(),
                out->folder.c_str());
            delete out;
            return nullptr;
        }
    }
    if (out->kind == CaptureKind::video) {
        out->log_path = (fs::temp_directory_path(error)
            / ("morrowick-ffmpeg" + std::string(TEMP_MARKER) + std::to_string(process_id()) + ".log"))
                            .string();
        if (error)
            out->log_path = out->temp + ".log";
        remove_stale_temporaries(fs::path(out->log_path).parent_path().string());
    }
    if (out->kind != CaptureKind::none) {
        remove_stale_temporaries(out->folder);
        // A folder that cannot be written fails now, not after the whole demo has run.
        const std::string probe = out->temp + ".probe";
        FILE* file = std::fopen(probe.c_str(), "wb");
        if (!file) {
            std::fprintf(stderr, "morrowick: cannot write in %s: %s\n", out->folder.c_str(), std::strerror(errno));
            if (out->created_folder)
                fs::remove(out->path, error);
            delete out;
            return nullptr;
        }
        std::fclose(file);
        fs::remove(probe, error);
    }
    return out;
}

bool write_capture_frame(CaptureOutput* out, const CaptureFrame* frame)
{
    // Once interrupted, nothing more is written; a write that fails because Ctrl+C also stopped
    // ffmpeg is the interrupt, not a fault of the output.
    if (interrupt_signal() != 0)
        return false;
    if (!out->started) {
        out->started = true;
        if (!start_output(out))
            return false;
    }
    if (!out->failure.empty())
        return false;
    errno = 0;
    switch (out->kind) {
    case CaptureKind::folder: {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06llu.png", static_cast<unsigned long long>(frame->index));
        out->written.push_back(name);
        if (!write_capture_png(out->temp + "/" + name, frame->xrgb, frame->width, frame->height, out->scale)
            || !wav_write(&out->wav, frame->audio, CAPTURE_AUDIO_FRAMES_PER_TICK)) {
            fail(out, write_failure(errno));
            return false;
        }
        out->frames++;
        return true;
    }
    case CaptureKind::video: {
        const size_t count = size_t(frame->width) * size_t(frame->height);
        if (frame->width != out->width || frame->height != out->height) {
            fail(out, "the picture changed size");
            return false;
        }
        for (size_t i = 0; i < count; ++i) {
            const uint32_t p = frame->xrgb[i];
            out->rgb[3 * i] = uint8_t(p >> 16);
            out->rgb[3 * i + 1] = uint8_t(p >> 8);
            out->rgb[3 * i + 2] = uint8_t(p);
        }
        if (std::fwrite(out->rgb.data(), 1, out->rgb.size(), out->encoder) != out->rgb.size()) {
            // ffmpeg stopped reading: its own error output says why.
            if (interrupt_signal() == 0)
                fail(out, encoder_failure(out, 1, "encoding the video"));
            return false;
        }
        if (!wav_write(&out->wav, frame->audio, CAPTURE_AUDIO_FRAMES_PER_TICK)) {
            fail(out, write_failure(errno));
            return false;
        }
        out->frames++;
        return true;
    }
    case CaptureKind::sheet:
        out->frames++;
        sheet_take(&out->sheet, frame);
        return true;
    case CaptureKind::none:
        break;
    }
    return true;
}

int close_capture_output(CaptureOutput* out, int interrupted, bool keep_partial)
{
    int result = CAPTURE_WRITTEN;
    if (out->kind != CaptureKind::none) {
        const bool keep = !interrupted || keep_partial;
        const bool ready = keep && out->started && finish_files(out, interrupted != 0);
        const bool placed = ready && out->failure.empty() && put_in_place(out);
        if (interrupted) {
            result = CAPTURE_INTERRUPTED;
            if (placed)
                std::fprintf(stderr, "morrowick: capture interrupted by %s: kept the %llu frames made so far in %s\n",
                    signal_name(interrupted), static_cast<unsigned long long>(out->frames), out->path.c_str());
            else if (keep_partial && !out->failure.empty())
                std::fprintf(stderr,
                    "morrowick: capture interrupted by %s: the partial capture failed (%s); nothing "
                    "was written to %s\n",
                    signal_name(interrupted), out->failure.c_str(), out->path.c_str());
            else
                std::fprintf(stderr, "morrowick: capture interrupted by %s: nothing was written to %s\n",
                    signal_name(interrupted), out->path.c_str());
        } else if (!placed) {
            result = CAPTURE_FAILED;
            if (out->failure.empty())
                fail(out, "no frame was captured");
            std::fprintf(stderr, "morrowick: the capture to %s failed: %s; nothing was written\n", out->path.c_str(),
                out->failure.c_str());
        }
        remove_temporaries(out);
    }
    delete out;
    return result;
}

void discard_capture_output(CaptureOutput* out)
{
    remove_temporaries(out);
    delete out;
}
