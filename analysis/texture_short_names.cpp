#include "analysis/texture_short_names.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "format/code_pages.hpp"
#include "format/kolbrin_limits.hpp"
#include "format/text.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

std::string without_last_three(const std::string& text)
{
    return text.size() >= 3 ? text.substr(0, text.size() - 3) : std::string();
}

// A picture name ends in ".tif" (the built name always ends in "tif").
bool is_tif_name(std::string_view name) noexcept
{
    return name.size() > 4 && name.substr(name.size() - 4) == ".tif";
}

// Whether a name is taken in the folder: anything there counts, a link too.
bool name_taken(int folder, const std::string& name) noexcept
{
    struct stat info {};
    return ::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT;
}

// Renames `from` to `to` inside the folder without ever replacing a file at
// `to`, even one that another run (another scene of the same folder) creates
// meanwhile. 0 or the errno.
int rename_without_replacing(int folder, const std::string& from, const std::string& to)
{
    if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without that flag: a hard link is refused when `to` exists.
    if (::linkat(folder, from.c_str(), folder, to.c_str(), 0) == 0) {
        ::unlinkat(folder, from.c_str(), 0);
        return 0;
    }
    if (errno == EEXIST || (errno != EPERM && errno != ENOTSUP))
        return errno;
    // Nor hard links (FAT): the plain rename, after the check made before.
    return ::renameat(folder, from.c_str(), folder, to.c_str()) == 0 ? 0 : errno;
}

} // namespace

std::string file_name_from_scene_text(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 4);
    for (const char c : text)
        append_utf8(out, windows_1252_code_point(static_cast<unsigned char>(c)));
    return out;
}

std::string_view unrenamed_picture_text(std::string_view reason) noexcept
{
    if (reason == unrenamed::control_character)
        return "the texture name holds a control character, so it names no picture";
    if (reason == unrenamed::linked_folder)
        return "the TIFFRGB folder is a symbolic link, which is not followed for renames";
    if (reason == unrenamed::not_a_tif_name)
        return "the texture name does not end in a three-letter extension, so it names no .tif picture";
    if (reason == unrenamed::not_a_regular_file)
        return "the picture is not a regular file (a link, a folder or a special file)";
    if (reason == unrenamed::short_name_taken)
        return "its short name already names another picture, which may belong to another scene sharing this "
               "TIFFRGB folder; the material file names that picture";
    if (reason == unrenamed::may_belong_to_another_scene)
        return "it is gone, and the picture under its short name may belong to another scene sharing this TIFFRGB "
               "folder (or to an earlier analysis of this one)";
    return "it was not renamed";
}

TextureShortNamer::TextureShortNamer(std::vector<ShortTextureName>& short_texture_names, std::string tiff_folder,
                                     PictureRenaming renaming)
    : bigmat_(short_texture_names), tiff_folder_(std::move(tiff_folder)), renaming_(renaming)
{
}

TextureShortNamer::~TextureShortNamer()
{
    if (folder_ >= 0)
        ::close(folder_);
}

std::string short_texture_name(std::vector<ShortTextureName>& known, const std::string& texture, bool& added)
{
    added = false;
    if (texture.size() <= kolbrin::longest_texture_name)
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

TextureShortNamer::FolderState TextureShortNamer::open_folder()
{
    if (folder_state_ != FolderState::NotOpened)
        return folder_state_;
    folder_ = ::open(tiff_folder_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (folder_ >= 0)
        folder_state_ = FolderState::Open;
    else if (::lstat(tiff_folder_.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
        folder_state_ = FolderState::Linked;
    else
        folder_state_ = FolderState::Missing;
    return folder_state_;
}

void TextureShortNamer::leave(const std::string& from, const std::string& to, std::string_view reason)
{
    unrenamed_.push_back({from, to, std::string(reason)});
}

void TextureShortNamer::rename_picture(const std::string& texture, const std::string& short_name)
{
    const std::string from_name = file_name_from_scene_text(without_last_three(texture) + "tif");
    const std::string to_name = file_name_from_scene_text(without_last_three(short_name) + "tif");
    const std::string from = join_path(tiff_folder_, from_name);
    const std::string to = join_path(tiff_folder_, to_name);
    // A NUL would cut the name short and other control bytes name no picture
    // a scene means: nothing is looked up.
    if (has_control_byte(texture))
        return leave(from, to, unrenamed::control_character);
    // A texture text that holds a folder does not name a picture of the
    // TIFFRGB folder: the built paths would point elsewhere.
    if (texture_has_folder(texture))
        return;
    if (!is_tif_name(from_name))
        return leave(from, to, unrenamed::not_a_tif_name);
    switch (open_folder()) {
    case FolderState::Linked:
        return leave(from, to, unrenamed::linked_folder);
    case FolderState::Missing:
        missing_.push_back(from);
        return;
    default:
        break;
    }
    rename_in_folder(from_name, to_name, from, to);
}

void TextureShortNamer::rename_in_folder(const std::string& from_name, const std::string& to_name,
                                         const std::string& from, const std::string& to)
{
    const bool short_name_taken = name_taken(folder_, to_name);
    struct stat info {};
    if (::fstatat(folder_, from_name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        // Renamed by an earlier analysis of this scene, or another scene's picture.
        if (short_name_taken)
            return leave(from, to, unrenamed::may_belong_to_another_scene);
        missing_.push_back(from);
        return;
    }
    if (!S_ISREG(info.st_mode))
        return leave(from, to, unrenamed::not_a_regular_file);
    if (short_name_taken)
        return leave(from, to, unrenamed::short_name_taken); // never replace a picture that is already there
    if (renaming_ == PictureRenaming::ListOnly) {
        renamed_.push_back({from, to});
        return;
    }
    const int code = rename_without_replacing(folder_, from_name, to_name);
    if (code == EEXIST)
        leave(from, to, unrenamed::short_name_taken);
    else if (code != 0)
        failures_.push_back({from, to, std::generic_category().message(code)});
    else
        renamed_.push_back({from, to});
}

} // namespace trevanix
