#include "state/paths.hpp"

#include <filesystem>
#include <system_error>

namespace trevanix {

namespace {

constexpr char separator = '/';

std::size_t last_separator(std::string_view path, bool both)
{
    return both ? path.find_last_of("\\/") : path.rfind(separator);
}

std::string base_without_extension(std::string_view name)
{
    const auto dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

} // namespace

std::string parent_folder_of(std::string_view path)
{
    const auto at = last_separator(path, false);
    if (at == std::string_view::npos)
        return {};
    if (at == 0)
        return std::string(1, separator);
    return std::string(path.substr(0, at));
}

std::string file_name_of(std::string_view path)
{
    const auto at = last_separator(path, false);
    return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string base_name_of(std::string_view path) { return base_without_extension(file_name_of(path)); }

std::string extension_of(std::string_view path)
{
    const std::string name = file_name_of(path);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string join_path(std::string_view folder, std::string_view name)
{
    std::string out(folder);
    if (!out.empty() && out.back() != separator)
        out.push_back(separator);
    out.append(name);
    return out;
}

std::string texture_file_name(std::string_view text)
{
    const auto at = last_separator(text, true);
    return std::string(at == std::string_view::npos ? text : text.substr(at + 1));
}

std::string texture_base_name(std::string_view text) { return base_without_extension(texture_file_name(text)); }

bool texture_has_folder(std::string_view text) { return last_separator(text, true) != std::string_view::npos; }

std::string without_surrounding_quotes(const std::string& path)
{
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        return path.substr(1, path.size() - 2);
    return path;
}

bool file_exists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::string normalised_path(const std::string& path)
{
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec)
        absolute = path;
    std::filesystem::path normal = absolute.lexically_normal();
    // "folder/" and "folder" name one folder.
    if (!normal.has_filename() && normal.has_parent_path() && normal != normal.root_path())
        normal = normal.parent_path();
    return normal.string();
}

std::string absolute_path(const std::string& path)
{
    if (path.empty())
        return path;
    std::error_code ec;
    const std::filesystem::path given(path);
    const std::filesystem::path whole = given.is_absolute() ? given : std::filesystem::current_path(ec) / given;
    if (ec)
        return path;
    std::filesystem::path out = whole.root_path();
    for (const std::filesystem::path& part : whole.relative_path())
        if (!part.empty() && part != ".")
            out /= part;
    return out.string();
}

bool same_file(const std::string& a, const std::string& b)
{
    if (a.empty() || b.empty())
        return a == b;
    std::error_code ec;
    if (std::filesystem::exists(a, ec) && std::filesystem::exists(b, ec)) {
        const bool same = std::filesystem::equivalent(a, b, ec);
        if (!ec)
            return same;
    }
    return normalised_path(a) == normalised_path(b);
}

} // namespace trevanix
