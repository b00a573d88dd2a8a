// capture_output.cpp -- where captured frames go: PNG folder + WAV, video through ffmpeg, contact sheet.
#include <png.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/capture.h"
#include "app/platform.h"
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
    std::string path;
    int scale = 1;
    int fps = 0;
    int width = 0, height = 0;
    WavWriter wav;
    FILE* encoder = nullptr; // ffmpeg reading raw RGB frames
    std::string video_temp, audio_temp;
    std::vector<uint8_t> rgb;
    Sheet sheet;
    uint64_t frames = 0;
    bool started = false; // files opened (with the first frame)
    bool start_failed = false;
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

CaptureOutput* open_capture_output(const CaptureOptions* options, int width, int height)
{
    auto* out = new CaptureOutput;
    out->kind = capture_kind(options->path, options->sheet);
    out->path = options->path;
    out->scale = options->scale > 0 ? options->scale : (out->kind == CaptureKind::video ? 4 : 1);
    out->fps = options->fps;
    out->width = width;
    out->height = height;
    switch (out->kind) {
    case CaptureKind::folder: {
        std::error_code error;
        std::filesystem::create_directories(out->path, error);
        if (!std::filesystem::is_directory(out->path, error)) {
            std::fprintf(stderr, "morrowick: cannot write the capture folder %s\n", out->path.c_str());
            delete out;
            return nullptr;
        }
        break;
    }
    case CaptureKind::video: {
        const std::string ffmpeg = find_program("ffmpeg");
        if (ffmpeg.empty()) {
            std::fprintf(stderr,
                "morrowick: capturing to %s needs the program ffmpeg, which is not on PATH: install ffmpeg, "
                "or capture to a folder of PNG frames (--capture=DIR)\n",
                out->path.c_str());
            delete out;
            return nullptr;
        }
        break;
    }
    default:
        break;
    }
    return out;
}

namespace {

// Files are opened with the first frame, so a start-up failure leaves no half-made output.
bool start_output(CaptureOutput* out)
{
    if (out->kind == CaptureKind::folder) {
        if (wav_open(&out->wav, out->path + "/audio.wav"))
            return true;
        std::fprintf(stderr, "morrowick: cannot write %s/audio.wav\n", out->path.c_str());
        return false;
    }
    if (out->kind == CaptureKind::video) {
        const std::string ffmpeg = find_program("ffmpeg");
        const int width = out->width, height = out->height;
        // The video is encoded while the demo runs; the audio, known only at the end, is muxed after.
        // Named after the process too, so that two captures to one path do not share them.
        const std::string temp = out->path + "." + std::to_string(platform_process_id());
        out->video_temp = temp + ".video.mkv";
        out->audio_temp = temp + ".audio.wav";
        if (!wav_open(&out->wav, out->audio_temp)) {
            std::fprintf(stderr, "morrowick: cannot write %s\n", out->audio_temp.c_str());
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
        const std::string command = shell_quoted(ffmpeg)
            + " -hide_banner -loglevel error -y -f rawvideo -pix_fmt rgb24 -s " + std::to_string(width) + "x"
            + std::to_string(height) + " -framerate 125/4 -i -" + (filters.empty() ? "" : " -vf " + filters) + " "
            + codec + " -pix_fmt yuv420p " + shell_quoted(out->video_temp);
        out->encoder = platform_open_pipe(command);
        if (!out->encoder) {
            std::fprintf(stderr, "morrowick: cannot start %s\n", ffmpeg.c_str());
            return false;
        }
        out->rgb.resize(size_t(width) * size_t(height) * 3);
    }
    return true;
}

} // namespace

bool write_capture_frame(CaptureOutput* out, const CaptureFrame* frame)
{
    if (!out->started) {
        out->started = true;
        out->start_failed = !start_output(out);
    }
    if (out->start_failed)
        return false;
    switch (out->kind) {
    case CaptureKind::folder: {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%06llu.png", static_cast<unsigned long long>(frame->index));
        out->frames++;
        return write_capture_png(out->path + name, frame->xrgb, frame->width, frame->height, out->scale)
            && wav_write(&out->wav, frame->audio, CAPTURE_AUDIO_FRAMES_PER_TICK);
    }
    case CaptureKind::video: {
        const size_t count = size_t(frame->width) * size_t(frame->height);
        if (frame->width != out->width || frame->height != out->height)
            return false;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t p = frame->xrgb[i];
            out->rgb[3 * i] = uint8_t(p >> 16);
            out->rgb[3 * i + 1] = uint8_t(p >> 8);
            out->rgb[3 * i + 2] = uint8_t(p);
        }
        out->frames++;
        return std::fwrite(out->rgb.data(), 1, out->rgb.size(), out->encoder) == out->rgb.size()
            && wav_write(&out->wav, frame->audio, CAPTURE_AUDIO_FRAMES_PER_TICK);
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

bool close_capture_output(CaptureOutput* out)
{
    bool ok = wav_close(&out->wav) && !out->start_failed;
    if (out->kind == CaptureKind::video && out->started) {
        const int status = out->encoder ? platform_close_pipe(out->encoder) : -1;
        ok = ok && status == 0;
        if (status != 0)
            std::fprintf(stderr, "morrowick: ffmpeg could not encode the video\n");
        if (ok) {
            const std::string ffmpeg = find_program("ffmpeg");
            std::string audio = "-c:a aac -b:a 256k";
            if (ends_with(out->path, ".webm"))
                audio = "-c:a libopus -b:a 192k";
            else if (ends_with(out->path, ".mkv"))
                audio = "-c:a flac";
            const std::string command = shell_quoted(ffmpeg) + " -hide_banner -loglevel error -y -i "
                + shell_quoted(out->video_temp) + " -i " + shell_quoted(out->audio_temp)
                + " -map 0:v -map 1:a -c:v copy " + audio
                + (ends_with(out->path, ".mp4") ? " -movflags +faststart " : " ") + shell_quoted(out->path);
            ok = platform_run(command) == 0;
            if (!ok)
                std::fprintf(stderr, "morrowick: ffmpeg could not add the audio to %s\n", out->path.c_str());
        }
        std::remove(out->video_temp.c_str());
        std::remove(out->audio_temp.c_str());
    } else if (out->kind == CaptureKind::sheet) {
        ok = sheet_write(&out->sheet, out->path) && ok;
    }
    delete out;
    return ok;
}
