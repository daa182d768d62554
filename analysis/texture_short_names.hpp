#pragma once
// Short replacement names for long texture texts of "gta material" materials,
// and the renaming of their pictures in the scene's TIFFRGB folder.
#include <string>
#include <vector>

#include "state/scene_state.hpp"
#include "state/session.hpp"

namespace trevanix {

struct PictureRenameFailure {
    std::string from;
    std::string to;
    std::string reason;
};

class TextureShortNamer {
public:
    // tiff_folder: the TIFFRGB folder beside the scene (it need not exist).
    TextureShortNamer(std::vector<ShortTextureName>& short_texture_names, std::string tiff_folder,
                      PictureRenaming renaming = PictureRenaming::Rename)
        : bigmat_(short_texture_names), tiff_folder_(std::move(tiff_folder)), renaming_(renaming)
    {
    }

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

private:
    void rename_picture(const std::string& texture, const std::string& short_name);

    std::vector<ShortTextureName>& bigmat_;
    std::string tiff_folder_;
    PictureRenaming renaming_;
    std::vector<PictureRenameFailure> failures_;
    std::vector<PictureRename> renamed_;
    std::vector<std::string> missing_;
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
