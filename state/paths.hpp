#pragma once
// Path pieces, as the file dialogs and the readers need them. Real paths use the
// platform's separator; texture texts read from scene files may hold Windows
// paths, so their helpers split at both "\" and "/".
#include <string>
#include <string_view>

namespace trevanix {

// Folder part of a path, without the trailing separator ("" when there is none).
std::string parent_folder_of(std::string_view path);
// File name without folder.
std::string file_name_of(std::string_view path);
// File name without folder and without its last extension.
std::string base_name_of(std::string_view path);
// Text after the last dot of the file name, without the dot ("" when none).
std::string extension_of(std::string_view path);
// Folder and file name joined with the platform's separator.
std::string join_path(std::string_view folder, std::string_view name);

// Texture texts: the same pieces, with "\" and "/" both taken as separators.
std::string texture_file_name(std::string_view text);
std::string texture_base_name(std::string_view text);
bool texture_has_folder(std::string_view text);

// A path as a command line may give it: the surrounding double quotes are
// removed when both are there.
std::string without_surrounding_quotes(const std::string& path);

bool file_exists(const std::string& path);
// Whether two paths name one file: the same device and inode when both
// exist, otherwise the same lexically normal absolute path. Letter case counts
// exactly as the file system counts it.
bool same_file(const std::string& a, const std::string& b);
// The path made absolute and lexically normal ("a/./b/../c" becomes "a/c").
std::string normalised_path(const std::string& path);
// The path made absolute against the current folder, without its "." parts
// and doubled separators ("./a//b" becomes "/cwd/a/b"). ".." stays: where it
// leads depends on the links before it. "" stays "".
std::string absolute_path(const std::string& path);

} // namespace trevanix
