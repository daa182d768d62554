#include "analysis/texture_short_names.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "format/text.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

// Unicode code points of the Windows-1252 bytes 0x80 to 0x9F (0 where the
// code page leaves the byte undefined; those keep their Latin-1 meaning).
constexpr char16_t cp1252_high_controls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void append_utf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string without_last_three(const std::string& text)
{
    return text.size() >= 3 ? text.substr(0, text.size() - 3) : std::string();
}

// Renames `from` to `to` without ever replacing a file at `to`, even one that
// another run (another scene of the same folder) creates meanwhile.
std::error_code rename_without_replacing(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS)
        return {errno, std::generic_category()};
    // A file system without that flag: a hard link is refused when `to` exists.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return {};
    }
    if (errno == EEXIST || (errno != EPERM && errno != ENOTSUP))
        return {errno, std::generic_category()};
    // Nor hard links (FAT): the plain rename, after the check made before.
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    return ec;
}

} // namespace

std::string file_name_from_scene_text(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 4);
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else if (byte < 0xA0 && cp1252_high_controls[byte - 0x80] != 0) {
            append_utf8(out, cp1252_high_controls[byte - 0x80]);
        } else {
            append_utf8(out, byte);
        }
    }
    return out;
}

std::string short_texture_name(std::vector<ShortTextureName>& known, const std::string& texture, bool& added)
{
    added = false;
    if (texture.size() <= 19)
        return texture;
    for (const ShortTextureName& entry : known)
        if (entry.long_text == texture)
            return entry.short_name;
    std::string short_name = texture.substr(0, 11);
    short_name.push_back('\xAB');
    append_decimal(short_name, static_cast<std::int64_t>(known.size()));
    short_name += ".tga";
    known.push_back({texture, short_name});
    added = true;
    return short_name;
}

std::string TextureShortNamer::apply(const std::string& texture)
{
    bool added = false;
    std::string short_name = short_texture_name(bigmat_, texture, added);
    if (added)
        rename_picture(texture, short_name);
    return short_name;
}

void TextureShortNamer::rename_picture(const std::string& texture, const std::string& short_name)
{
    // A texture text that holds a folder does not name a picture of the
    // TIFFRGB folder: the built paths would point elsewhere.
    if (texture_has_folder(texture))
        return;
    const std::string from = join_path(tiff_folder_, file_name_from_scene_text(without_last_three(texture) + "tif"));
    const std::string to = join_path(tiff_folder_, file_name_from_scene_text(without_last_three(short_name) + "tif"));
    std::error_code ec;
    const bool short_name_taken = std::filesystem::exists(to, ec);
    if (!std::filesystem::is_regular_file(from, ec)) {
        // An earlier analysis of the scene may have renamed it already.
        if (!short_name_taken)
            missing_.push_back(from);
        return;
    }
    if (short_name_taken)
        return; // never replace a picture that is already there
    if (renaming_ == PictureRenaming::ListOnly) {
        renamed_.push_back({from, to});
        return;
    }
    ec = rename_without_replacing(from, to);
    if (ec)
        failures_.push_back({from, to, ec.message()});
    else
        renamed_.push_back({from, to});
}

} // namespace trevanix
