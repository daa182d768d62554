#pragma once
// Texture pictures as Kolbrin2 reads them: 8-bit RGB TIFF files. Pictures
// are decoded with stb_image (PNG, JPEG, TGA, BMP, GIF, PSD, PNM, HDR) and
// written with libtiff.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace trevanix {

struct RgbPicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgb; // rows from the top, three bytes a pixel
};

// Pictures larger than this many pixels are refused: decoded, they would
// take more memory than any texture of a game scene needs.
inline constexpr std::uint64_t largest_picture_pixels = std::uint64_t{8192} * 8192;

// Whether the bytes hold a picture of a known format and a size that is
// allowed, judged from its header alone. `why` says why not.
bool picture_is_readable(std::span<const unsigned char> bytes, std::string& why);

// Decodes the picture (any alpha is dropped). False with `why` when it cannot be.
bool decode_picture(std::span<const unsigned char> bytes, RgbPicture& picture, std::string& why);

// The picture as an uncompressed 8-bit RGB TIFF file, top row first. The
// same picture always gives the same bytes.
std::string tiff_file_bytes(const RgbPicture& picture);

} // namespace trevanix
