#pragma once
// Names as Kolbrin2 reads them. Scene texts are 8-bit Windows-1252 bytes,
// while Assimp hands over UTF-8; an object or material name goes between
// double quotes and into a catalogue cell "name , texture".
#include <string>
#include <string_view>
#include <unordered_set>

namespace trevanix {

// Valid UTF-8 becomes Windows-1252, a character it lacks becoming "_"; any
// other text is taken as 8-bit bytes already and kept.
std::string scene_text_from_utf8(std::string_view text);

// A name fit for a quoted ".asc" name and a catalogue cell: without double
// quotes and control characters, and without the cell separator " , "
// (its blank before the comma is dropped).
std::string clean_name(std::string_view text);

// Gives out names that no earlier claim took: the name itself, or the name
// followed by "_2", "_3", ... (the first of these that is free).
class UniqueNames {
public:
    std::string claim(const std::string& name);
    bool taken(const std::string& name) const { return taken_.count(name) != 0; }

private:
    std::unordered_set<std::string> taken_;
};

} // namespace trevanix
