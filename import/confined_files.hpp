#pragma once
// The files Assimp reads while it imports a scene, opened the way the exact
// readers open a scene: regular files only (a pipe or a device could block
// or never end), for reading only, and each read ending as soon as a stop is
// asked for. The files a scene names beside itself (buffers, material
// libraries) are never reached through a symbolic link.
#include <atomic>
#include <string>

#include <assimp/IOSystem.hpp>

namespace trevanix {

// Opens a regular file for reading without blocking on a pipe or a device;
// with `follow_link` false a symbolic link is refused too. Returns the
// descriptor, or -1 with errno set (ENXIO for a file that is not regular).
int open_regular_file(const std::string& path, bool follow_link) noexcept;

class ConfinedFiles : public Assimp::IOSystem {
public:
    // `scene_path` is the scene the user chose, which may be a link to a
    // regular file; `stop` (may be null) ends every read once it is set.
    ConfinedFiles(std::string scene_path, const std::atomic<bool>* stop);

    bool Exists(const char* path) const override;
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* path, const char* mode) override;
    void Close(Assimp::IOStream* stream) override;

private:
    bool is_scene(const char* path) const;

    std::string scene_path_;
    const std::atomic<bool>* stop_;
};

} // namespace trevanix
