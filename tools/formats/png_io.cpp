// png_io.cpp -- PNG reading and writing through libpng's simplified API.
#include "tools/formats/png_io.h"

#include <png.h>

#include <cstring>

bool write_png_rgba(const std::string& path, int width, int height, const uint8_t* rgba)
{
    if (width <= 0 || height <= 0)
        return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path.c_str(), 0, rgba, 0, nullptr) != 0;
}

bool read_png_rgba(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgba)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGBA;
    if (image.width == 0 || image.height == 0 || image.width > 16384 || image.height > 16384) {
        png_image_free(&image);
        return false;
    }
    rgba->assign(size_t(PNG_IMAGE_SIZE(image)), 0);
    if (!png_image_finish_read(&image, nullptr, rgba->data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    *width = int(image.width);
    *height = int(image.height);
    return true;
}

bool write_png_xrgb(const std::string& path, int width, int height, const uint32_t* pixels, int pitch_pixels)
{
    if (width <= 0 || height <= 0)
        return false;
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels + size_t(y) * size_t(pitch_pixels);
        uint8_t* out = rgba.data() + size_t(y) * size_t(width) * 4;
        for (int x = 0; x < width; ++x) {
            const uint32_t p = row[x];
            out[4 * x + 0] = uint8_t(p >> 16);
            out[4 * x + 1] = uint8_t(p >> 8);
            out[4 * x + 2] = uint8_t(p);
            out[4 * x + 3] = 255;
        }
    }
    return write_png_rgba(path, width, height, rgba.data());
}
