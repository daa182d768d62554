#include "state/scene_state.hpp"

namespace trevanix {

const std::string& MaterialCatalogue::cell(int m, int s) const noexcept
{
    static const std::string empty;
    if (m < 0 || s < 0 || static_cast<std::size_t>(m) >= cells.size())
        return empty;
    const auto& row = cells[static_cast<std::size_t>(m)];
    if (static_cast<std::size_t>(s) >= row.size())
        return empty;
    return row[static_cast<std::size_t>(s)];
}

int MaterialCatalogue::submaterial_count(int m) const noexcept
{
    if (m < 0 || static_cast<std::size_t>(m) >= submaterial_counts.size())
        return -1;
    return submaterial_counts[static_cast<std::size_t>(m)];
}

FileType file_type_of(std::string_view extension) noexcept
{
    if (extension.empty())
        return FileType::None;
    if (extension == "ase")
        return FileType::Ase;
    if (extension == "asc")
        return FileType::Asc;
    return FileType::Other;
}

bool converts_like_ase(const SceneState& scene) noexcept
{
    return scene.file_type == FileType::Ase || scene.reader == SceneReader::General;
}

} // namespace trevanix
