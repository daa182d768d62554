#include "import/tiff_pictures.hpp"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>

#include <stb_image.h>
#include <tiffio.h>

namespace trevanix {

namespace {

bool fits_int(std::size_t size) noexcept { return size <= static_cast<std::size_t>(INT_MAX); }

// libtiff writing into a string: the client procedures of TIFFClientOpen.
struct MemoryFile {
    std::string bytes;
    std::size_t position = 0;
};

tmsize_t memory_read(thandle_t handle, void* into, tmsize_t size)
{
    auto* file = static_cast<MemoryFile*>(handle);
    const std::size_t left = file->bytes.size() - std::min(file->bytes.size(), file->position);
    const std::size_t n = std::min(left, static_cast<std::size_t>(size));
    std::memcpy(into, file->bytes.data() + file->position, n);
    file->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t memory_write(thandle_t handle, void* from, tmsize_t size)
{
    auto* file = static_cast<MemoryFile*>(handle);
    const auto n = static_cast<std::size_t>(size);
    if (file->bytes.size() < file->position + n)
        file->bytes.resize(file->position + n);
    std::memcpy(file->bytes.data() + file->position, from, n);
    file->position += n;
    return size;
}

toff_t memory_seek(thandle_t handle, toff_t offset, int whence)
{
    auto* file = static_cast<MemoryFile*>(handle);
    switch (whence) {
    case SEEK_SET:
        file->position = static_cast<std::size_t>(offset);
        break;
    case SEEK_CUR:
        file->position += static_cast<std::size_t>(offset);
        break;
    case SEEK_END:
        file->position = file->bytes.size() + static_cast<std::size_t>(offset);
        break;
    default:
        return static_cast<toff_t>(-1);
    }
    return static_cast<toff_t>(file->position);
}

int memory_close(thandle_t) { return 0; }
toff_t memory_size(thandle_t handle) { return static_cast<MemoryFile*>(handle)->bytes.size(); }
int memory_map(thandle_t, void**, toff_t*) { return 0; }
void memory_unmap(thandle_t, void*, toff_t) {}

// libtiff reports to stderr unless told otherwise: a scene's pictures must
// not write there.
void quiet_handler(const char*, const char*, va_list) {}

} // namespace

bool picture_is_readable(std::span<const unsigned char> bytes, std::string& why)
{
    int width = 0, height = 0, channels = 0;
    if (bytes.empty() || !fits_int(bytes.size()) ||
        stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels) == 0) {
        why = "not a picture of a known format";
        return false;
    }
    if (width <= 0 || height <= 0 ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > largest_picture_pixels) {
        why = "larger than 8192 x 8192 pixels";
        return false;
    }
    return true;
}

bool decode_picture(std::span<const unsigned char> bytes, RgbPicture& picture, std::string& why)
{
    if (!picture_is_readable(bytes, why))
        return false;
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 3),
        stbi_image_free);
    if (!pixels) {
        const char* reason = stbi_failure_reason();
        why = reason != nullptr ? reason : "cannot be decoded";
        return false;
    }
    picture.width = static_cast<std::uint32_t>(width);
    picture.height = static_cast<std::uint32_t>(height);
    picture.rgb.assign(pixels.get(), pixels.get() + std::size_t{picture.width} * picture.height * 3);
    return true;
}

std::string tiff_file_bytes(const RgbPicture& picture)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        TIFFSetErrorHandler(quiet_handler);
        TIFFSetWarningHandler(quiet_handler);
    });
    MemoryFile file;
    TIFF* tiff = TIFFClientOpen("picture.tif", "w", &file, memory_read, memory_write, memory_seek, memory_close,
                                memory_size, memory_map, memory_unmap);
    if (tiff == nullptr)
        return {};
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, picture.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, picture.height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    const std::size_t row = std::size_t{picture.width} * 3;
    bool written = true;
    for (std::uint32_t y = 0; y < picture.height && written; ++y)
        written = TIFFWriteScanline(tiff, const_cast<std::uint8_t*>(picture.rgb.data() + y * row), y, 0) == 1;
    TIFFClose(tiff);
    return written ? std::move(file.bytes) : std::string();
}

} // namespace trevanix
