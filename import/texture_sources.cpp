#include "import/texture_sources.hpp"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "format/text.hpp"
#include "import/confined_files.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

std::string with_forward_slashes(std::string text)
{
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

bool is_absolute_reference(const std::string& reference)
{
    const bool drive = reference.size() >= 2 && reference[1] == ':' &&
                       ((reference[0] >= 'A' && reference[0] <= 'Z') || (reference[0] >= 'a' && reference[0] <= 'z'));
    return drive || reference.starts_with("/");
}

bool equal_ignoring_case(std::string_view a, std::string_view b) { return to_lower_copy(a) == to_lower_copy(b); }

// The entry of `folder` whose name matches `name` but for letter case; "" when none.
std::string name_in_any_case(const std::string& folder, const std::string& name)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return {};
    std::string found;
    while (const dirent* entry = ::readdir(dir)) {
        if (equal_ignoring_case(entry->d_name, name)) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// The regular file at `path`, or one whose name differs only in letter case.
std::string existing_file(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0)
        return S_ISREG(info.st_mode) ? path : std::string();
    const std::string folder = parent_folder_of(path);
    const std::string other = name_in_any_case(folder, file_name_of(path));
    if (other.empty())
        return {};
    const std::string candidate = join_path(folder, other);
    return ::lstat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? candidate : std::string();
}

bool read_whole_file(const std::string& path, std::vector<unsigned char>& bytes, std::string& why)
{
    const int fd = open_regular_file(path, false);
    if (fd < 0) {
        why = std::generic_category().message(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_size) > largest_texture_file) {
        ::close(fd);
        why = "larger than any texture";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return true;
}

// An embedded picture kept as texels (ARGB8888 in aiTexel's b, g, r, a order).
RgbPicture picture_of_texels(const aiTexture& texture)
{
    RgbPicture picture;
    picture.width = texture.mWidth;
    picture.height = texture.mHeight;
    const std::size_t pixels = std::size_t{texture.mWidth} * texture.mHeight;
    picture.rgb.resize(pixels * 3);
    for (std::size_t i = 0; i < pixels; ++i) {
        picture.rgb[3 * i] = texture.pcData[i].r;
        picture.rgb[3 * i + 1] = texture.pcData[i].g;
        picture.rgb[3 * i + 2] = texture.pcData[i].b;
    }
    return picture;
}

const aiTexture* embedded_texture(const aiScene& scene, const TextureSource& source)
{
    return source.embedded < scene.mNumTextures ? scene.mTextures[source.embedded] : nullptr;
}

} // namespace

TextureSource find_texture(const aiScene& scene, const std::string& scene_folder, const std::string& reference)
{
    TextureSource source;
    if (reference.empty())
        return source;
    if (const auto [texture, index] = scene.GetEmbeddedTextureAndIndex(reference.c_str());
        texture != nullptr && index >= 0) {
        source.kind = TextureSource::Kind::Embedded;
        source.embedded = static_cast<unsigned>(index);
        source.file_name = texture_file_name(texture->mFilename.C_Str());
        return source;
    }
    const std::string path = with_forward_slashes(reference);
    const std::string name = file_name_of(path);
    source.file_name = name;
    std::vector<std::string> candidates;
    if (!is_absolute_reference(path))
        candidates.push_back(join_path(scene_folder, path));
    candidates.push_back(join_path(scene_folder, name));
    for (const std::string& candidate : candidates) {
        if (std::string found = existing_file(candidate); !found.empty()) {
            source.kind = TextureSource::Kind::File;
            source.file = std::move(found);
            return source;
        }
    }
    source.looked_for = is_absolute_reference(path)
                            ? reference
                            : std::filesystem::path(candidates.front()).lexically_normal().string();
    return source;
}

bool load_texture(const aiScene& scene, const TextureSource& source, std::vector<unsigned char>& bytes,
                  RgbPicture& raw, std::string& why)
{
    bytes.clear();
    switch (source.kind) {
    case TextureSource::Kind::Missing:
        why = "not found";
        return false;
    case TextureSource::Kind::File:
        return read_whole_file(source.file, bytes, why);
    case TextureSource::Kind::Embedded:
        break;
    }
    const aiTexture* texture = embedded_texture(scene, source);
    if (texture == nullptr || texture->pcData == nullptr) {
        why = "not found";
        return false;
    }
    if (texture->mHeight == 0) {
        const auto* data = reinterpret_cast<const unsigned char*>(texture->pcData);
        bytes.assign(data, data + texture->mWidth);
        return true;
    }
    if (std::uint64_t{texture->mWidth} * texture->mHeight > largest_picture_pixels) {
        why = "larger than 8192 x 8192 pixels";
        return false;
    }
    raw = picture_of_texels(*texture);
    return true;
}

bool decode_texture(const aiScene& scene, const TextureSource& source, RgbPicture& picture, std::string& why)
{
    std::vector<unsigned char> bytes;
    picture = {};
    if (!load_texture(scene, source, bytes, picture, why))
        return false;
    return picture.width > 0 || decode_picture(bytes, picture, why);
}

bool texture_is_readable(const aiScene& scene, const TextureSource& source, std::string& why)
{
    std::vector<unsigned char> bytes;
    RgbPicture raw;
    if (!load_texture(scene, source, bytes, raw, why))
        return false;
    return raw.width > 0 || picture_is_readable(bytes, why);
}

} // namespace trevanix
