#include "format/ase_object_reader.hpp"

#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "format/asc_lines.hpp"
#include "format/ase_keywords.hpp"
#include "format/kolbrin_limits.hpp"
#include "format/text.hpp"

namespace trevanix {

namespace {

[[gnu::always_inline]] inline bool matches(std::string_view line, std::string_view keyword) noexcept
{
    return starts_with_upper(line, keyword);
}

// The text after a keyword the line begins with.
std::string_view after_keyword(std::string_view line, std::string_view keyword) noexcept
{
    return line.substr(std::min(keyword.size(), line.size()));
}

// Up to five digits, as nearly every sub-material id is written: the value,
// or nullopt for any other text (which takes the full reading).
std::optional<std::int16_t> few_digits(std::string_view body) noexcept
{
    if (body.empty() || body.size() > 5)
        return std::nullopt;
    int value = 0;
    for (const char c : body) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > 32767)
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

// A sub-material id as written after "*MESH_MTLID": the rest of the line must
// be a number that fits 16 bits (blanks around it are allowed).
std::optional<std::int16_t> read_submaterial_id(std::string_view text) noexcept
{
    const std::string_view body = trim_blanks(text);
    if (const auto plain = few_digits(body))
        return plain;
    if (body.empty())
        return std::nullopt;
    std::size_t i = 0;
    if (body[i] == '+' || body[i] == '-')
        ++i;
    bool digits = false;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') {
        digits = true;
        ++i;
    }
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && body[i] >= '0' && body[i] <= '9') {
            digits = true;
            ++i;
        }
    }
    if (!digits || i != body.size())
        return std::nullopt;
    return to_int16(number_value(body));
}

// The sub-material id of a face line: the number one character after the
// first "*MESH_MTLID" anywhere in it.
std::optional<std::int16_t> face_submaterial_id(std::string_view line) noexcept
{
    const std::size_t at = position_of(line, ase_keyword::face_submaterial_id);
    if (at == 0)
        return std::nullopt;
    return read_submaterial_id(mid(line, at + ase_keyword::face_submaterial_id.size() + 1));
}

// Fields `first` to `first + count - 1` of a line cut at each TAB (field 0 is
// what precedes the first TAB). False when the line has fewer fields.
bool tab_fields(std::string_view line, std::size_t first, std::size_t count, std::string_view* out) noexcept
{
    const std::size_t last = first + count;
    std::size_t field = 0;
    std::size_t start = 0;
    // Each TAB ends a field; true once the last wanted one is ended.
    auto tab_at = [&](std::size_t i) {
        if (field >= first)
            out[field - first] = line.substr(start, i - start);
        start = i + 1;
        return ++field == last;
    };
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time: the TABs of a block as the bits of a mask.
    const __m128i tab = _mm_set1_epi8('\t');
    auto tabs_in = [&](std::size_t at, unsigned seen) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + at));
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, tab))) & ~seen; mask != 0;
             mask &= mask - 1) {
            if (tab_at(at + static_cast<std::size_t>(__builtin_ctz(mask))))
                return true;
        }
        return false;
    };
    for (; i + 16 <= line.size(); i += 16) {
        if (tabs_in(i, 0))
            return true;
    }
    // The rest of a line of 16 bytes or more: the last 16 bytes, without
    // those already looked at.
    if (i < line.size() && line.size() >= 16) {
        const std::size_t at = line.size() - 16;
        if (tabs_in(at, (1u << (i - at)) - 1))
            return true;
        i = line.size();
    }
#endif
    for (; i < line.size(); ++i) {
        if (line[i] == '\t' && tab_at(i))
            return true;
    }
    // The end of the line ends the last field.
    return tab_at(line.size());
}

bool is_blank_or_tab(char c) noexcept { return c == ' ' || c == '\t'; }

// The values of a list line whose fields are not all TAB-separated: after the
// leading TABs, the keyword, the index and each value are the runs of text
// between blanks or TABs.
bool blank_fields(std::string_view line, std::size_t count, std::string_view* out) noexcept
{
    std::size_t i = 0;
    while (i < line.size() && line[i] == '\t')
        ++i;
    for (std::size_t run = 0; run < count + 2; ++run) {
        while (i < line.size() && is_blank_or_tab(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !is_blank_or_tab(line[i]))
            ++i;
        if (i == start)
            return false;
        if (run >= 2)
            out[run - 2] = line.substr(start, i - start);
    }
    return true;
}

// One object's reading: the steps in the order of the object's lines. Each
// step returns false once the reading has stopped (object.stop says why).
class Reading {
public:
    Reading(LineCursor& in, AseObject& object, ObjectReading reading, bool scene_has_materials,
            double& carried_face_count)
        : in_(in), object_(object), reading_(reading), scene_has_materials_(scene_has_materials),
          carried_face_count_(carried_face_count)
    {
    }

    void run()
    {
        if (!read_name() || !read_vertex_count() || !read_face_count())
            return;
        const bool conversion = reading_rule::reads_lists_at_their_places(reading_);
        if (conversion ? !read_lists_in_place() : !search_face_list_and_read_ids())
            return;
        if (conversion ? !read_mapping_lists() : !read_mapping_counts())
            return;
        if (reading_rule::takes_first_shadow_property(reading_) ? !read_first_material_reference()
                                                                : !search_material_reference())
            return;
        if (reading_rule::needs_a_mapping_face_per_face(reading_) && object_.mapping_faces != object_.faces)
            stop(AseStop::MappingFaceCountDiffers);
    }

private:
    bool stop(AseStop why) noexcept
    {
        object_.stop = why;
        return false;
    }
    // The file ended inside the object.
    bool file_ended() noexcept
    {
        return stop(reading_rule::end_of_file_breaks_structure(reading_) ? AseStop::BrokenStructure
                                                                         : AseStop::CutShort);
    }
    [[gnu::always_inline]] bool next() { return in_.read() || file_ended(); }
    [[gnu::always_inline]] bool read_until(std::string_view keyword)
    {
        while (in_.read())
            if (matches(in_.line(), keyword))
                return true;
        return false;
    }
    bool next_until(std::string_view keyword) { return read_until(keyword) || file_ended(); }

    // A line the conversion copies into its block.
    void note_kept_line() noexcept
    {
        if (object_.cut_line == 0 && in_.line_cut())
            object_.cut_line = in_.number();
    }

    // A count after its keyword: read leniently, or as a whole number when
    // the reading needs one (false when it is none).
    bool read_count(std::string_view keyword, double& count)
    {
        const double value = number_value(after_keyword(in_.line(), keyword));
        if (!reading_rule::needs_whole_counts(reading_)) {
            count = value;
            return true;
        }
        const auto whole = asc::whole_count(value);
        if (!whole)
            return stop(AseStop::CountsUnusable);
        count = static_cast<double>(*whole);
        return true;
    }

    bool read_name()
    {
        if (!next())
            return false;
        const auto name = asc::quoted_name(in_.line());
        if (!name)
            return stop(AseStop::NameNotQuoted);
        object_.name.assign(*name);
        object_.has_name = true;
        if (reading_rule::leaves_out_lod_names(reading_) && name->substr(0, 3) == "LOD")
            return stop(AseStop::LodName);
        note_kept_line();
        return true;
    }

    bool read_vertex_count()
    {
        if (!read_until(ase_keyword::vertex_count))
            return reading_rule::end_of_file_breaks_structure(reading_) ? stop(AseStop::VertexCountMissing)
                                                                        : file_ended();
        if (!read_count(ase_keyword::vertex_count, object_.vertices))
            return false;
        return object_.vertices != 0 || stop(AseStop::ZeroVertices);
    }

    bool read_face_count()
    {
        if (!next())
            return false;
        if (!matches(in_.line(), ase_keyword::face_count)) {
            if (!reading_rule::carries_face_count_over(reading_))
                return stop(AseStop::FaceCountLineMissing);
            object_.faces = carried_face_count_;
            return true;
        }
        if (!read_count(ase_keyword::face_count, object_.faces))
            return false;
        carried_face_count_ = object_.faces;
        if (object_.faces == 0)
            return stop(AseStop::ZeroFaces);
        return !kolbrin::too_many_faces(object_.faces) || stop(AseStop::TooManyFaces);
    }

    // The checks: two lines passed over untested (the vertex list's opening
    // line and its first vertex), the search for the face list, then the
    // sub-material id of each face line.
    bool search_face_list_and_read_ids()
    {
        if (!next() || !next())
            return false;
        while (!matches(in_.line(), ase_keyword::face_list))
            if (!next())
                return false;
        if (!next())
            return false;
        object_.submaterial_ids.clear();
        for (std::int64_t i = 0; static_cast<double>(i) <= object_.faces - 1; ++i) {
            const std::optional<std::int16_t> id = face_submaterial_id(in_.line());
            if (!id) {
                object_.unreadable_face = i;
                return stop(AseStop::UnreadableSubmaterialId);
            }
            object_.submaterial_ids.push_back(*id);
            if (!next())
                return false;
        }
        return true;
    }

    // The conversion: the vertex list where the counts end, the face list
    // after the vertex list's closing line.
    bool read_lists_in_place()
    {
        if (!next())
            return false;
        if (!matches(in_.line(), ase_keyword::vertex_list))
            return stop(AseStop::VertexListMissing);
        if (!read_value_lines(object_.vertices, 3, object_.vertex_values, {}) || !next() || !next())
            return false;
        if (!matches(in_.line(), ase_keyword::face_list))
            return stop(AseStop::FaceListMissing);
        return read_whole_lines(object_.faces, object_.face_lines);
    }

    bool read_mapping_counts()
    {
        if (!read_until(ase_keyword::mapping_vertex_count))
            return stop(AseStop::MappingVertexCountMissing);
        object_.mapping_vertices = number_value(after_keyword(in_.line(), ase_keyword::mapping_vertex_count));
        if (object_.mapping_vertices == 0)
            return stop(AseStop::ZeroMappingVertices);
        if (!next_until(ase_keyword::mapping_face_count))
            return false;
        object_.mapping_faces = number_value(after_keyword(in_.line(), ase_keyword::mapping_face_count));
        return object_.mapping_faces != 0 || stop(AseStop::ZeroMappingFaces);
    }

    bool read_mapping_lists()
    {
        // The face list's closing line is passed over.
        if (!next() || !next_until(ase_keyword::mapping_vertex_count))
            return false;
        if (!read_count(ase_keyword::mapping_vertex_count, object_.mapping_vertices))
            return false;
        if (object_.mapping_vertices == 0)
            return stop(AseStop::ZeroMappingVertices);
        if (!next() || !read_value_lines(object_.mapping_vertices, 2, object_.mapping_vertex_values,
                                         ase_keyword::mapping_vertex))
            return false;
        if (!next_until(ase_keyword::mapping_face_count))
            return false;
        if (!read_count(ase_keyword::mapping_face_count, object_.mapping_faces))
            return false;
        if (object_.mapping_faces == 0)
            return stop(AseStop::ZeroMappingFaces);
        return next() && read_value_lines(object_.mapping_faces, 3, object_.mapping_face_values,
                                          ase_keyword::mapping_face);
    }

    // The checks: from the current line on, a shadow property line followed
    // by the material reference, or by the wire colour of an object without
    // material.
    bool search_material_reference()
    {
        for (;;) {
            if (matches(in_.line(), ase_keyword::shadow_property)) {
                if (!next())
                    return false;
                if (matches(in_.line(), ase_keyword::material_ref)) {
                    note_material_reference();
                    return true;
                }
                if (matches(in_.line(), ase_keyword::wire_colour))
                    return true;
            }
            if (!next())
                return false;
        }
    }

    // The conversion: the line after the first shadow property line; the
    // line after that closes the object, and the input may end there.
    bool read_first_material_reference()
    {
        if (!next_until(ase_keyword::shadow_property) || !next())
            return false;
        if (matches(in_.line(), ase_keyword::material_ref) && scene_has_materials_) {
            note_material_reference();
            if (!to_int16(object_.material_number))
                return stop(AseStop::UnknownMaterial);
        }
        in_.read();
        return true;
    }

    void note_material_reference()
    {
        object_.has_material_reference = true;
        object_.material_number = number_value(after_keyword(in_.line(), ase_keyword::material_ref));
    }

    // `count` lines, each kept whole.
    bool read_whole_lines(double count, std::vector<AseLineSpan>& list)
    {
        list.clear();
        for (double i = 0; i < count; ++i) {
            if (!next())
                return false;
            const std::string_view text = in_.line();
            note_kept_line();
            list.push_back(AseLineSpan{object_.arena.size(), text.size()});
            object_.arena += text;
        }
        return true;
    }

    // `count` list lines, each with its `wanted` values kept. A line that
    // fails its keyword test, or lacks a value, stays an empty entry; an
    // object whose faces use such an entry is left out when it is written.
    bool read_value_lines(double count, std::size_t wanted, std::vector<AseListValues>& list,
                          std::string_view keyword)
    {
        list.clear();
        for (double i = 0; i < count; ++i) {
            if (!next())
                return false;
            // Filled where it stands: a copy of a just-built entry would
            // wait for its own stores.
            keep_values(in_.line(), wanted, keyword, list.emplace_back());
        }
        return true;
    }

    void keep_values(std::string_view text, std::size_t wanted, std::string_view keyword, AseListValues& kept)
    {
        const bool keyword_matches = keyword.empty() || matches(text, keyword);
        if (!keyword_matches)
            return;
        // A cut line that passes the keyword test counts as kept: the values
        // it would be judged on may lie beyond the cut.
        note_kept_line();
        std::string_view values[3];
        if (!ase_list_values(text, wanted, values))
            return;
        kept.present = true;
        // Only the wanted values are kept, with what stands between them.
        const char* first = values[0].data();
        const std::size_t base = object_.arena.size();
        object_.arena.append(first,
                             static_cast<std::size_t>(values[wanted - 1].data() + values[wanted - 1].size() - first));
        for (std::size_t k = 0; k < wanted; ++k) {
            kept.begin[k] = base + static_cast<std::size_t>(values[k].data() - first);
            kept.size[k] = values[k].size();
        }
    }

    LineCursor& in_;
    AseObject& object_;
    ObjectReading reading_;
    bool scene_has_materials_;
    double& carried_face_count_;
};

} // namespace

bool ase_list_values(std::string_view line, std::size_t count, std::string_view* out) noexcept
{
    return tab_fields(line, 4, count, out) || blank_fields(line, count, out);
}

void AseObjectReader::read(LineCursor& in, AseObject& object)
{
    object.stop = AseStop::None;
    object.start_line = in.number();
    object.name.clear();
    object.has_name = false;
    object.vertices = object.faces = object.mapping_vertices = object.mapping_faces = 0;
    object.has_material_reference = false;
    object.material_number = 0;
    object.unreadable_face = 0;
    object.arena.clear();
    object.cut_line = 0;
    Reading(in, object, reading_, scene_has_materials_, carried_face_count_).run();
}

} // namespace trevanix
