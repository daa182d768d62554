#pragma once
// Short replacement names for long texture texts of "gta material" materials,
// and the renaming of their pictures in the scene's TIFFRGB folder.
//
// Renames stay inside that folder: it is opened once, never through a link,
// and only regular files with the "tif" extension are renamed, relative to
// it, without ever replacing a file. Whatever is not renamed is listed with
// its reason, so that no report claims a rename that did not happen.
#include <string>
#include <string_view>
#include <vector>

#include "state/scene_state.hpp"
#include "state/outcome_types.hpp"

namespace trevanix {

struct PictureRenameFailure {
    std::string from;
    std::string to;
    std::string reason;
};

// The reasons a picture is not renamed; each has a stable key.
namespace unrenamed {
inline constexpr std::string_view control_character = "control_character";
inline constexpr std::string_view linked_folder = "linked_folder";
inline constexpr std::string_view not_a_tif_name = "not_a_tif_name";
inline constexpr std::string_view not_a_regular_file = "not_a_regular_file";
inline constexpr std::string_view short_name_taken = "short_name_taken";
inline constexpr std::string_view may_belong_to_another_scene = "may_belong_to_another_scene";
inline constexpr std::string_view all[] = {control_character,  linked_folder,    not_a_tif_name,
                                           not_a_regular_file, short_name_taken, may_belong_to_another_scene};
} // namespace unrenamed

// What a reason key means, as a clause for the user.
std::string_view unrenamed_picture_text(std::string_view reason) noexcept;

class TextureShortNamer {
public:
    // tiff_folder: the TIFFRGB folder beside the scene (it need not exist).
    TextureShortNamer(std::vector<ShortTextureName>& short_texture_names, std::string tiff_folder,
                      PictureRenaming renaming = PictureRenaming::Rename);
    ~TextureShortNamer();
    TextureShortNamer(const TextureShortNamer&) = delete;
    TextureShortNamer& operator=(const TextureShortNamer&) = delete;

    // A text of 19 characters or fewer is kept. A longer one gets the short
    // name given to the same text before, or a new one: its first 11
    // characters, the byte AB, a serial number and ".tga"; the matching
    // picture is then renamed to the short name (or only listed, when listing).
    std::string apply(const std::string& texture);

    const std::vector<PictureRenameFailure>& failures() const noexcept { return failures_; }
    // Pictures renamed, or to be renamed when only listing, in the order met.
    const std::vector<PictureRename>& renamed() const noexcept { return renamed_; }
    // Pictures of shortened names found under neither their long nor their short name.
    const std::vector<std::string>& missing() const noexcept { return missing_; }
    // Pictures left as they are, with the reason.
    const std::vector<UnrenamedPicture>& unrenamed() const noexcept { return unrenamed_; }

private:
    enum class FolderState { NotOpened, Open, Missing, Linked };

    void rename_picture(const std::string& texture, const std::string& short_name);
    void rename_in_folder(const std::string& from_name, const std::string& to_name, const std::string& from,
                          const std::string& to);
    FolderState open_folder();
    void leave(const std::string& from, const std::string& to, std::string_view reason);

    std::vector<ShortTextureName>& bigmat_;
    std::string tiff_folder_;
    PictureRenaming renaming_;
    FolderState folder_state_ = FolderState::NotOpened;
    int folder_ = -1;
    std::vector<PictureRenameFailure> failures_;
    std::vector<PictureRename> renamed_;
    std::vector<std::string> missing_;
    std::vector<UnrenamedPicture> unrenamed_;
};

// The name a texture text is written under: a text of 19 characters or
// fewer is kept; a longer one gets the short name given to the same text
// before, or a new one (its first 11 characters, the byte AB, the number of
// short names given so far, ".tga"), which `known` then holds. `added` tells
// whether the short name is new.
std::string short_texture_name(std::vector<ShortTextureName>& known, const std::string& texture, bool& added);

// File names on disk are UTF-8 here, while scene texts are Windows-1252
// bytes: converts a scene text to the name a file manager shows.
std::string file_name_from_scene_text(std::string_view text);

} // namespace trevanix
