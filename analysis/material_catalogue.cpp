#include "analysis/material_catalogue.hpp"

#include <algorithm>

#include "format/ase_keywords.hpp"
#include "format/line_cursor.hpp"
#include "format/text.hpp"

namespace trevanix {

namespace {

constexpr const char* empty_pair = "[{empty material}] , [{empty material}]";

// A count after a keyword, as a 16-bit integer; nullopt when it does not fit.
std::optional<int> count_after(std::string_view line, std::size_t keyword_length)
{
    const auto value = to_int16(number_value(mid(line, keyword_length + 1)));
    if (!value)
        return std::nullopt;
    return *value;
}

// The quoted value at the end of a keyword line, taken by position: from the
// character after the opening quote to the line's last character, excluded.
std::string quoted_value(std::string_view line, std::size_t keyword_length)
{
    const std::size_t start = keyword_length + 2;
    if (line.size() < start)
        return {};
    return std::string(line.substr(start - 1, line.size() - start));
}

// One pass over the material list, line by line, with the reading rules of
// both passes. Reads return false at the end of the file; every caller then
// stops, so a list cut short never makes the reading run on.
class MaterialListReader {
public:
    MaterialListReader(LineCursor& in, const CatalogueInput& input, CatalogueOutcome& outcome)
        : in_(in), input_(input), outcome_(outcome)
    {
    }

    bool read()
    {
        if (!in_.read()) {
            ended_ = true;
            return false;
        }
        return true;
    }

    bool read_until(auto&& matches)
    {
        while (read())
            if (matches(in_.line()))
                return true;
        return false;
    }

    bool keep_going() const
    {
        if (!input_.keep_going || input_.keep_going())
            return true;
        outcome_.stopped = true;
        return false;
    }
    std::string_view line() const { return ended_ ? std::string_view() : in_.line(); }
    void note_read_failure()
    {
        if (in_.stopped()) {
            outcome_.stopped = true;
        } else if (in_.read_failed()) {
            outcome_.readable = false;
            outcome_.error = in_.failure_message();
        }
    }

private:
    LineCursor& in_;
    const CatalogueInput& input_;
    CatalogueOutcome& outcome_;
    bool ended_ = false;
};

bool is_exactly(std::string_view line, std::string_view text) { return line == text; }

class CataloguePass {
public:
    CataloguePass(MaterialListReader& reader, MaterialCatalogue& catalogue, TextureShortNamer& namer,
                  CatalogueOutcome& outcome)
        : in_(reader), catalogue_(catalogue), namer_(namer), outcome_(outcome)
    {
    }

    void run()
    {
        while (!is_exactly(in_.line(), ase_keyword::object_start_line)) {
            if (!in_.keep_going() || !in_.read())
                return;
            if (starts_with_upper(in_.line(), ase_keyword::material_list)) {
                if (!read_list())
                    return;
            }
        }
    }

private:
    bool read_list()
    {
        if (!in_.read())
            return false;
        // The count follows the first "T " of the line (the end of "*MATERIAL_COUNT ").
        const std::size_t t_at = position_of(in_.line(), ase_keyword::material_count_end);
        const auto count = to_int16(number_value(mid(in_.line(), t_at + ase_keyword::material_count_end.size())));
        if (!count || *count < 0) {
            outcome_.counts_in_range = false;
            return false;
        }
        if (*count == 0) {
            outcome_.has_materials = false;
            return false; // the pass ends at once
        }
        outcome_.has_materials = true;
        const int materials = *count;
        catalogue_.cells.assign(static_cast<std::size_t>(materials) + 1, {});
        catalogue_.last_submaterial.assign(static_cast<std::size_t>(materials) + 1, 0);
        catalogue_.material_count = materials;
        if (!in_.read() || !in_.read())
            return false;
        for (int m = 0; m < materials; ++m)
            if (!read_material(m))
                return false;
        return true;
    }

    void store(int m, int s, std::string cell)
    {
        auto& row = catalogue_.cells[static_cast<std::size_t>(m)];
        if (row.size() <= static_cast<std::size_t>(s))
            row.resize(static_cast<std::size_t>(s) + 1);
        row[static_cast<std::size_t>(s)] = std::move(cell);
    }

    static std::string pair(const std::string& first, const std::string& second) { return first + " , " + second; }

    // Reading material m; on entry the current line should be its name line.
    bool read_material(int m)
    {
        if (starts_with_exact(in_.line(), ase_keyword::material_name)) {
            name_ = quoted_value(in_.line(), ase_keyword::material_name.size());
            if (!in_.read())
                return false;
            if (starts_with_exact(in_.line(), ase_keyword::material_class)) {
                if (!read_material_by_class(m, to_lower_copy(quoted_value(in_.line(), ase_keyword::material_class.size()))))
                    return false;
            }
        }
        return in_.read();
    }

    bool read_material_by_class(int m, const std::string& kind)
    {
        if (kind == "standard") {
            if (!in_.read_until([](std::string_view l) {
                    return starts_with_exact(l, ase_keyword::material_bitmap) || is_exactly(l, ase_keyword::material_end);
                }))
                return false;
            if (is_exactly(in_.line(), ase_keyword::material_end)) {
                store(m, 0, empty_pair);
                return in_.read();
            }
            store(m, 0, pair(name_, quoted_value(in_.line(), ase_keyword::material_bitmap.size())));
            return skip_to_material_end();
        }
        if (kind == "gta material") {
            if (!in_.read_until([](std::string_view l) {
                    return starts_with_exact(l, ase_keyword::material_map_name) || is_exactly(l, ase_keyword::material_end);
                }))
                return false;
            if (is_exactly(in_.line(), ase_keyword::material_end)) {
                store(m, 0, empty_pair);
                return in_.read();
            }
            const std::string map_name = quoted_value(in_.line(), ase_keyword::material_map_name.size());
            if (!in_.read_until([](std::string_view l) { return starts_with_exact(l, ase_keyword::material_bitmap); }))
                return false;
            store(m, 0, pair(map_name, namer_.apply(quoted_value(in_.line(), ase_keyword::material_bitmap.size()))));
            return skip_to_material_end();
        }
        if (kind == "multi/sub-object") {
            if (!in_.read_until([](std::string_view l) { return starts_with_exact(l, ase_keyword::submaterial_count); }))
                return false;
            const auto count = count_after(in_.line(), ase_keyword::submaterial_count.size());
            if (!count) {
                outcome_.counts_in_range = false;
                return false;
            }
            catalogue_.last_submaterial[static_cast<std::size_t>(m)] = *count - 1;
            if (!in_.read() || !in_.read())
                return false;
            for (int s = 0; s < *count; ++s)
                if (!read_submaterial(m, s, *count))
                    return false;
            return true;
        }
        // Other classes (blend, double-sided, ...): skip the block to the next
        // material and give the cell an empty pair, so readers always find one.
        store(m, 0, empty_pair);
        return skip_to_material_end();
    }

    // To the material's closing line, then one more line.
    bool skip_to_material_end()
    {
        if (!in_.read_until([](std::string_view l) { return starts_with_exact(l, ase_keyword::material_end); }))
            return false;
        return in_.read();
    }

    bool read_submaterial(int m, int s, int count)
    {
        if (starts_with_exact(in_.line(), ase_keyword::submaterial_name))
            name_ = quoted_value(in_.line(), ase_keyword::submaterial_name.size());
        if (!in_.read())
            return false;
        if (starts_with_exact(in_.line(), ase_keyword::submaterial_class)) {
            const std::string kind = to_lower_copy(quoted_value(in_.line(), ase_keyword::submaterial_class.size()));
            auto closes_submaterial = [](std::string_view l) { return starts_with_exact(l, ase_keyword::submaterial_end); };
            if (kind == "standard") {
                if (!in_.read_until([&](std::string_view l) {
                        return closes_submaterial(l) || starts_with_exact(l, ase_keyword::submaterial_bitmap);
                    }))
                    return false;
                if (closes_submaterial(in_.line())) {
                    store(m, s, empty_pair);
                    return in_.read() && in_.read();
                }
                store(m, s, pair(name_, quoted_value(in_.line(), ase_keyword::submaterial_bitmap.size())));
            } else if (kind == "gta material") {
                if (!in_.read_until([&](std::string_view l) {
                        return closes_submaterial(l) || starts_with_exact(l, ase_keyword::submaterial_map_name);
                    }))
                    return false;
                if (closes_submaterial(in_.line())) {
                    store(m, s, empty_pair);
                    return in_.read() && in_.read();
                }
                const std::string map_name = quoted_value(in_.line(), ase_keyword::submaterial_map_name.size());
                for (int i = 0; i < 4; ++i)
                    if (!in_.read())
                        return false;
                store(m, s, pair(map_name, namer_.apply(quoted_value(in_.line(), ase_keyword::submaterial_bitmap.size()))));
            } else {
                store(m, s, empty_pair);
            }
        }
        // Skip to the next sub-material, or to the material's closing line.
        const bool last = s >= count - 1;
        if (!in_.read_until([last](std::string_view l) {
                return last ? starts_with_exact(l, ase_keyword::material_end) : starts_with_exact(l, ase_keyword::submaterial_start);
            }))
            return false;
        return in_.read();
    }

    MaterialListReader& in_;
    MaterialCatalogue& catalogue_;
    TextureShortNamer& namer_;
    CatalogueOutcome& outcome_;
    std::string name_; // kept from one material to the next, as a missing name line leaves it
};

} // namespace

CatalogueOutcome size_material_list(LineCursor& cursor, const CatalogueInput& input, MaterialCatalogue& catalogue)
{
    CatalogueOutcome outcome;
    MaterialListReader in(cursor, input, outcome);
    catalogue.material_count = 0;
    catalogue.submaterial_counts.assign(1, 0);
    if (!in.read_until([](std::string_view l) { return position_of(l, ase_keyword::material_count) != 0; })) {
        in.note_read_failure();
        return outcome; // no material list: no materials
    }
    const std::size_t at = position_of(in.line(), ase_keyword::material_count);
    const auto count = to_int16(number_value(mid(in.line(), at + ase_keyword::material_count.size())));
    if (!count || *count < 0) {
        outcome.counts_in_range = false;
        return outcome;
    }
    catalogue.material_count = std::max(0, *count - 1);
    catalogue.submaterial_counts.assign(static_cast<std::size_t>(catalogue.material_count) + 1, 0);
    std::size_t k = 0;
    while (!is_exactly(in.line(), ase_keyword::object_start_line)) {
        if (!in.keep_going() || !in.read())
            break;
        if (!starts_with_exact(in.line(), ase_keyword::material_wire_size))
            continue;
        if (!in.read())
            break;
        int submaterials = 0;
        if (starts_with_exact(in.line(), ase_keyword::submaterial_count)) {
            const auto value = count_after(in.line(), ase_keyword::submaterial_count.size());
            if (!value) {
                outcome.counts_in_range = false;
                return outcome;
            }
            submaterials = *value;
            catalogue.largest_submaterial_count = std::max(catalogue.largest_submaterial_count, submaterials);
        }
        // Materials beyond the announced count have no slot; they are never read.
        if (k < catalogue.submaterial_counts.size())
            catalogue.submaterial_counts[k] = submaterials;
        ++k;
    }
    in.note_read_failure();
    return outcome;
}

CatalogueOutcome read_material_catalogue(LineCursor& cursor, const CatalogueInput& input, MaterialCatalogue& catalogue)
{
    CatalogueOutcome outcome;
    MaterialListReader in(cursor, input, outcome);
    catalogue.short_texture_names.clear();
    TextureShortNamer namer(catalogue.short_texture_names, input.tiff_folder, input.renaming);
    CataloguePass(in, catalogue, namer, outcome).run();
    in.note_read_failure();
    outcome.rename_failures = namer.failures();
    outcome.renamed_pictures = namer.renamed();
    outcome.missing_pictures = namer.missing();
    outcome.unrenamed_pictures = namer.unrenamed();
    return outcome;
}

namespace {

// A pass that reads the scene on its own, from its first line.
template <typename Pass>
CatalogueOutcome on_own_reading(const CatalogueInput& input, MaterialCatalogue& catalogue, Pass pass)
{
    LineSource source(input.reading);
    CatalogueOutcome outcome;
    const bool opened =
        input.file ? source.open(*input.file, outcome.error) : source.open(input.path, outcome.error);
    if (!opened) {
        outcome.readable = false;
        return outcome;
    }
    LineCursor cursor(source);
    return pass(cursor, input, catalogue);
}

} // namespace

CatalogueOutcome size_material_list(const CatalogueInput& input, MaterialCatalogue& catalogue)
{
    return on_own_reading(input, catalogue, [](LineCursor& cursor, const CatalogueInput& in, MaterialCatalogue& c) {
        return size_material_list(cursor, in, c);
    });
}

CatalogueOutcome read_material_catalogue(const CatalogueInput& input, MaterialCatalogue& catalogue)
{
    return on_own_reading(input, catalogue, [](LineCursor& cursor, const CatalogueInput& in, MaterialCatalogue& c) {
        return read_material_catalogue(cursor, in, c);
    });
}

} // namespace trevanix
