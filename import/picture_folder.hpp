#pragma once
// The TIFFRGB folder beside a conversion's outputs, and the pictures it
// receives. Everything is made relative to the folder's descriptor, opened
// once and never through a link, and no file there is ever replaced: a
// picture is first written to an unseen temporary (an unnamed file, or a
// hidden named one where the file system has no unnamed files), and only
// given its name, when no file holds the name yet, after the other outputs
// are in place. A picture already there with the same bytes is left as it
// is; one with other bytes is reported and kept.
#include <string>
#include <string_view>
#include <vector>

namespace trevanix {

inline constexpr std::string_view picture_folder_name = "TIFFRGB";

class PictureFolder {
public:
    PictureFolder() = default;
    ~PictureFolder() { abandon(); }
    PictureFolder(PictureFolder&& other) noexcept;
    PictureFolder& operator=(PictureFolder&& other) noexcept;
    PictureFolder(const PictureFolder&) = delete;
    PictureFolder& operator=(const PictureFolder&) = delete;

    // Opens TIFFRGB in `output_folder`, creating it when missing. False with
    // a sentence for the user in `error` (also when TIFFRGB is a link).
    bool open(const std::string& output_folder, std::string& error);
    bool is_open() const noexcept { return folder_fd_ >= 0; }

    enum class Prepared { Pending, AlreadyThere, OtherContent, Failed };
    // Writes `bytes` as the picture file `name` into a temporary flushed to
    // the disk, or compares them with the file of that name already there.
    Prepared prepare(const std::string& name, std::string_view bytes, std::string& error);

    // Names every pending picture, never replacing a file (a file that took
    // the name meanwhile is compared, as in prepare), and flushes the folder.
    // `placed` receives the pictures' paths, `kept` those of files with other
    // bytes that kept their name, `failed` those that could not be named.
    void place(std::vector<std::string>& placed, std::vector<std::string>& kept, std::vector<std::string>& failed);
    // Removes the temporaries, and TIFFRGB itself when this made it and it
    // is still empty.
    void abandon() noexcept;

    std::string path_of(const std::string& name) const;

private:
    struct Pending {
        int fd = -1;
        std::string temporary; // "" for an unnamed temporary
        std::string name;
    };

    bool write_temporary(Pending& pending, std::string_view bytes, std::string& error);
    bool give_name(const Pending& pending, int& code) const noexcept;

    int output_fd_ = -1;
    int folder_fd_ = -1;
    bool created_ = false;
    std::string folder_path_;
    std::vector<Pending> pending_;
};

} // namespace trevanix
