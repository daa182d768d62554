#include "convert/ase_export.hpp"

#include <optional>

#include "format/text.hpp"
#include "format/ase_keywords.hpp"
#include "format/asc_lines.hpp"
#include "convert/vertex_lines.hpp"

namespace trevanix {

namespace {

bool matches(std::string_view line, std::string_view keyword) noexcept { return starts_with_upper(line, keyword); }

// Reads lines until one matches the keyword; false at the end of the input.
bool read_until(LineCursor& in, std::string_view keyword)
{
    while (in.read()) {
        if (matches(in.line(), keyword))
            return true;
    }
    return false;
}

void append_number_text(std::string& out, double value)
{
    // The range test comes first: converting a double beyond 64 bits is undefined.
    if (value > -1e15 && value < 1e15 && value == static_cast<double>(static_cast<std::int64_t>(value)))
        append_decimal(out, static_cast<std::int64_t>(value));
    else
        out += format_number(value);
}

// The plain decimal text of the number a field holds.
void append_field_number(std::string& out, std::string_view text)
{
    if (const auto plain = plain_integer(text))
        append_number_text(out, plain->as_double());
    else
        append_number_text(out, number_value(text));
}

std::optional<std::int64_t> count_after(std::string_view line, std::string_view keyword) noexcept
{
    return asc::whole_count(number_value(line.substr(keyword.size())));
}

// 1-based positions of the first occurrence of each face label, found in one
// pass over the line (0 when a label does not occur).
struct FaceLabels {
    std::int64_t a = 0, b = 0, c = 0, ab = 0, bc = 0, ca = 0, smoothing = 0, mtlid = 0;
};

FaceLabels find_face_labels(std::string_view face) noexcept
{
    FaceLabels p;
    auto first = [](std::int64_t& slot, std::size_t at) {
        if (slot == 0)
            slot = static_cast<std::int64_t>(at) + 1;
    };
    for (std::size_t i = face.find(':'); i != std::string_view::npos; i = face.find(':', i + 1)) {
        if (i == 0)
            continue;
        const char one = face[i - 1];
        if (one == 'A')
            first(p.a, i - 1);
        else if (one == 'B')
            first(p.b, i - 1);
        else if (one == 'C')
            first(p.c, i - 1);
        if (i < 2)
            continue;
        const char two = face[i - 2];
        if (two == 'A' && one == 'B')
            first(p.ab, i - 2);
        else if (two == 'B' && one == 'C')
            first(p.bc, i - 2);
        else if (two == 'C' && one == 'A')
            first(p.ca, i - 2);
    }
    p.smoothing = static_cast<std::int64_t>(position_of(face, ase_keyword::face_smoothing));
    p.mtlid = static_cast<std::int64_t>(position_of(face, ase_keyword::face_submaterial_id_label));
    return p;
}

// Fields `first` to `first + count - 1` of a line cut at each TAB (field 0 is
// what precedes the first TAB). False when the line has fewer fields.
bool tab_fields(std::string_view line, std::size_t first, std::size_t count, std::string_view* out) noexcept
{
    std::size_t field = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        const std::size_t end = tab == std::string_view::npos ? line.size() : tab;
        if (field >= first && field < first + count)
            out[field - first] = line.substr(start, end - start);
        ++field;
        if (field == first + count)
            return true;
        if (tab == std::string_view::npos)
            return false;
        start = tab + 1;
    }
}

// The text from 1-based position `start` to `last` (inclusive); nullopt when
// a label was missing or the range runs backwards.
std::optional<std::string_view> text_between(std::string_view line, std::int64_t start, std::int64_t last) noexcept
{
    if (start < 1 || last < start - 1)
        return std::nullopt;
    return mid(line, static_cast<std::size_t>(start), static_cast<std::size_t>(last - start + 1));
}

std::optional<std::int64_t> index_below(std::string_view text, std::int64_t limit) noexcept
{
    std::optional<std::int64_t> index;
    if (const auto plain = plain_integer(text); plain && !plain->negative)
        index = plain->magnitude;
    else
        index = asc::whole_count(number_value(text));
    if (!index || *index >= limit)
        return std::nullopt;
    return index;
}

} // namespace

std::string_view AseObjectExporter::line(const Span& span) const noexcept
{
    return std::string_view(arena_).substr(span.begin, span.size);
}

std::string_view AseObjectExporter::field(const Fields& fields, std::size_t k) const noexcept
{
    return std::string_view(arena_).substr(fields.begin[k], fields.size[k]);
}

bool AseObjectExporter::read_lines(LineCursor& in, std::int64_t count, std::vector<Span>& list)
{
    list.clear();
    for (std::int64_t i = 0; i < count; ++i) {
        if (!in.read())
            return false;
        const std::string_view text = in.line();
        list.push_back(Span{arena_.size(), text.size(), true});
        arena_ += text;
    }
    return true;
}

bool AseObjectExporter::read_field_lines(LineCursor& in, std::int64_t count, std::size_t wanted,
                                         std::vector<Fields>& list, std::string_view keyword)
{
    list.clear();
    for (std::int64_t i = 0; i < count; ++i) {
        if (!in.read())
            return false;
        const std::string_view text = in.line();
        std::string_view values[3];
        Fields fields;
        // A line that fails its keyword test, or lacks a field, stays an empty
        // slot; an object whose faces use such a slot is left out.
        if ((keyword.empty() || matches(text, keyword)) && tab_fields(text, 4, wanted, values)) {
            fields.present = true;
            const std::size_t base = arena_.size();
            arena_ += text;
            for (std::size_t k = 0; k < wanted; ++k) {
                fields.begin[k] = base + static_cast<std::size_t>(values[k].data() - text.data());
                fields.size[k] = values[k].size();
            }
        }
        list.push_back(fields);
    }
    return true;
}

bool AseObjectExporter::place_corner(const Corner& corner, bool mapped)
{
    const auto g = index_below(corner.geometric, nv_);
    if (!g)
        return false;
    const Fields& position = verts_[static_cast<std::size_t>(*g)];
    if (!position.present)
        return false;
    VertexSlot slot{field(position, 0), field(position, 1), field(position, 2), {}, {}, true};
    std::int64_t at = *g;
    if (mapped) {
        const auto t = index_below(corner.texture, ntv_);
        if (!t)
            return false;
        const Fields& texture = tverts_[static_cast<std::size_t>(*t)];
        if (!texture.present)
            return false;
        slot.u = field(texture, 0);
        slot.v = field(texture, 1);
        at = *t;
    }
    slots_[static_cast<std::size_t>(at)] = slot;
    return true;
}

bool AseObjectExporter::face_pass(ExportRun& run, bool mapped)
{
    const MaterialCatalogue& catalogue = run.catalogue;
    const int submaterials = mapped ? catalogue.submaterial_count(material_reference_) : 0;
    if (mapped && submaterials < 0)
        return false;
    face_text_.clear();
    // No 16-bit id (not even a negative one) matches: the first face looks its cell up.
    cached_mtlid_ = 1 << 16;
    for (std::int64_t j = 0; j < ntf_; ++j) {
        const std::string_view face = line(faces_[static_cast<std::size_t>(j)]);
        std::string_view texture_corners[3];
        if (mapped) {
            const Fields& t = tfaces_[static_cast<std::size_t>(j)];
            if (!t.present)
                return false;
            for (std::size_t k = 0; k < 3; ++k)
                texture_corners[k] = field(t, k);
        }
        const FaceLabels labels = find_face_labels(face);
        const std::int64_t pA = labels.a, pB = labels.b, pC = labels.c, pAB = labels.ab, pBC = labels.bc,
                           pCA = labels.ca, pS = labels.smoothing, pM = labels.mtlid;
        if (!pA || !pB || !pC || !pAB || !pBC || !pCA || !pS || !pM)
            return false;
        // A value runs from just after its label to the character before the
        // separator in front of the next label: one blank between the corner
        // and edge labels, a blank and a tab around the smoothing label.
        constexpr std::int64_t corner_label = 2; // "A:"
        constexpr std::int64_t edge_label = 3;   // "AB:"
        constexpr std::int64_t one_blank = 1;
        constexpr std::int64_t blank_and_tab = 2;
        const auto a = text_between(face, pA + corner_label, pB - one_blank - 1);
        const auto b = text_between(face, pB + corner_label, pC - one_blank - 1);
        const auto c = text_between(face, pC + corner_label, pAB - one_blank - 1);
        const auto ab = text_between(face, pAB + edge_label, pBC - one_blank - 1);
        const auto bc = text_between(face, pBC + edge_label, pCA - one_blank - 1);
        const auto ca = text_between(face, pCA + edge_label, pS - blank_and_tab - 1);
        if (!a || !b || !c || !ab || !bc || !ca)
            return false;
        const std::int64_t smoothing_start = pS + static_cast<std::int64_t>(ase_keyword::face_smoothing.size());
        const std::int64_t smoothing_length = pM - blank_and_tab - smoothing_start;
        const std::string_view smoothing =
            smoothing_length < 0
                ? std::string_view("0")
                : mid(face, static_cast<std::size_t>(smoothing_start), static_cast<std::size_t>(smoothing_length));
        const auto mtlid = to_int16(number_value(mid(face, static_cast<std::size_t>(pM) + ase_keyword::face_submaterial_id_label.size())));
        if (!mtlid)
            return false;
        if (mapped && *mtlid > 0 && *mtlid >= submaterials)
            return false;

        const Corner corners[3] = {{*a, texture_corners[0]}, {*b, texture_corners[1]}, {*c, texture_corners[2]}};
        for (const Corner& corner : corners) {
            if (!place_corner(corner, mapped))
                return false;
        }

        asc::append_face_start(face_text_, j);
        const char* corner_labels[3] = {": A:", " B:", " C:"};
        for (int k = 0; k < 3; ++k) {
            face_text_ += corner_labels[k];
            if (mapped)
                face_text_ += texture_corners[k];
            else
                append_field_number(face_text_, corners[k].geometric);
        }
        face_text_ += " AB:";
        append_field_number(face_text_, *ab);
        face_text_ += " BC:";
        append_field_number(face_text_, *bc);
        face_text_ += " CA:";
        append_field_number(face_text_, *ca);
        face_text_ += asc::line_end;

        if (mapped) {
            // Faces mostly share their sub-material: look the cell up once per change.
            if (*mtlid != cached_mtlid_) {
                const std::string& cell = catalogue.cell(material_reference_, *mtlid);
                const std::size_t separator = cell.find(asc::cell_separator);
                if (separator == std::string::npos)
                    return false;
                cached_material_ = std::string_view(cell).substr(0, separator);
                cached_mtlid_ = *mtlid;
            }
            if (cached_material_ != asc::empty_material)
                asc::append_material_lines(face_text_, cached_material_, smoothing);
        }
    }
    return true;
}

namespace {

// A value text without blanks or colons splits back out of a rebuilt vertex
// line exactly as it went in, so the flips can take it directly.
bool splits_back(std::string_view text) noexcept { return text.find_first_of(" :") == std::string_view::npos; }

constexpr std::string_view filler_value = "0.000000";

} // namespace

bool AseObjectExporter::append_vertex_lines(ExportRun& run, bool mapped, std::string& block)
{
    const bool texture_flip = run.options.texture_flip && mapped;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const VertexSlot& slot = slots_[i];
        asc::append_vertex_start(block, static_cast<std::int64_t>(i));
        if (!run.options.axis_flip && !texture_flip) {
            if (!slot.set)
                block += mapped ? asc::mapped_filler : asc::unmapped_filler;
            else if (mapped)
                append_mapped_form(block, slot.x, slot.y, slot.z, slot.u, slot.v);
            else
                append_unmapped_form(block, slot.x, slot.y, slot.z);
            block += asc::line_end;
            continue;
        }
        const bool last = i + 1 == slots_.size();
        const VertexSlot values = slot.set ? slot
                                           : VertexSlot{filler_value, filler_value, filler_value,
                                                        mapped ? filler_value : std::string_view(),
                                                        mapped ? filler_value : std::string_view(), true};
        const bool direct = splits_back(values.x) && splits_back(values.y) && splits_back(values.z) &&
                            (!mapped || (splits_back(values.u) && splits_back(values.v)));
        if (direct && !(last && run.options.axis_flip)) {
            append_flipped_directly(block, values, mapped, run.options.axis_flip, texture_flip);
            block += asc::line_end;
            continue;
        }
        scratch_.clear();
        if (!slot.set)
            scratch_ += mapped ? asc::mapped_filler : asc::unmapped_filler;
        else if (mapped)
            append_mapped_form(scratch_, slot.x, slot.y, slot.z, slot.u, slot.v);
        else
            append_unmapped_form(scratch_, slot.x, slot.y, slot.z);
        std::string* text = &scratch_;
        if (run.options.axis_flip) {
            if (last)
                run.clipboard_line = scratch_;
            flipped_.clear();
            if (!append_axis_flipped(flipped_, scratch_, mapped))
                return false;
            text = &flipped_;
        }
        if (texture_flip) {
            flipped_again_.clear();
            if (!append_texture_flipped(flipped_again_, *text))
                return false;
            text = &flipped_again_;
        }
        block += *text;
        block += asc::line_end;
    }
    return true;
}

// The flips on values that split back unchanged: (X, Y, Z) becomes (X, Z, -Y)
// and V becomes -V, without rebuilding and splitting the line in between.
void AseObjectExporter::append_flipped_directly(std::string& out, const VertexSlot& v, bool mapped, bool axis_flip,
                                                bool texture_flip)
{
    out += ":  X:";
    out += v.x;
    out += "     Y:";
    if (axis_flip) {
        out += v.z;
        out += "     Z:";
        append_sign_toggled(out, v.y);
    } else {
        out += v.y;
        out += "     Z:";
        out += v.z;
    }
    if (!mapped)
        return;
    out += "     U:";
    out += v.u;
    out += "     V:";
    if (texture_flip)
        append_sign_toggled(out, v.v);
    else
        out += v.v;
}

bool AseObjectExporter::export_object(ExportRun& run, std::string& block)
{
    LineCursor& in = run.input;
    arena_.clear();

    if (!in.read())
        return false;
    const auto name = asc::quoted_name(in.line());
    if (!name || name->substr(0, 3) == "LOD")
        return false;
    name_.assign(*name);

    if (!read_until(in, ase_keyword::vertex_count))
        return false;
    const auto nv = count_after(in.line(), ase_keyword::vertex_count);
    if (!nv || *nv == 0)
        return false;
    // A face count that does not follow the vertex count directly would leave
    // the object without a face count of its own.
    if (!in.read() || !matches(in.line(), ase_keyword::face_count))
        return false;
    const auto nf = count_after(in.line(), ase_keyword::face_count);
    if (!nf || *nf == 0 || *nf > 65535)
        return false;
    nv_ = *nv;
    nf_ = *nf;

    if (!in.read() || !matches(in.line(), ase_keyword::vertex_list) || !read_field_lines(in, nv_, 3, verts_, {}))
        return false;
    if (!in.read() || !in.read() || !matches(in.line(), ase_keyword::face_list) || !read_lines(in, nf_, faces_))
        return false;

    if (!in.read() || !read_until(in, ase_keyword::mapping_vertex_count))
        return false;
    const auto ntv = count_after(in.line(), ase_keyword::mapping_vertex_count);
    if (!ntv || *ntv == 0)
        return false;
    ntv_ = *ntv;
    if (!in.read() || !read_field_lines(in, ntv_, 2, tverts_, ase_keyword::mapping_vertex))
        return false;

    if (!read_until(in, ase_keyword::mapping_face_count))
        return false;
    const auto ntf = count_after(in.line(), ase_keyword::mapping_face_count);
    if (!ntf || *ntf == 0)
        return false;
    ntf_ = *ntf;
    if (!in.read() || !read_field_lines(in, ntf_, 3, tfaces_, ase_keyword::mapping_face))
        return false;

    if (!read_until(in, ase_keyword::shadow_property) || !in.read())
        return false;
    bool mapped = false;
    if (matches(in.line(), ase_keyword::material_ref) && run.has_materials) {
        const auto reference = to_int16(number_value(in.line().substr(ase_keyword::material_ref.size())));
        if (!reference)
            return false;
        material_reference_ = *reference;
        mapped = true;
    }
    // The line after the material reference closes the object; the input may
    // end there.
    in.read();

    // The faces are written from the face list and joined to the texture faces
    // one by one: both lists must be equally long.
    if (ntf_ != nf_)
        return false;
    slots_.assign(static_cast<std::size_t>(mapped ? ntv_ : nv_), VertexSlot{});
    if (!face_pass(run, mapped))
        return false;

    asc::append_name_line(block, name_);
    asc::append_counts_line(block, mapped ? ntv_ : nv_, mapped ? ntf_ : nf_);
    asc::append_line(block, asc::mapped_line);
    asc::append_line(block, asc::vertex_list_line);
    if (!append_vertex_lines(run, mapped, block))
        return false;
    asc::append_line(block, asc::face_list_line);
    block += face_text_;
    block += asc::line_end;
    return true;
}

LoopEnd run_ase_export(ExportRun& run)
{
    LineCursor& in = run.input;
    AseObjectExporter exporter;
    std::string block;
    // Whether the current line starts an object. Kept as a flag because the
    // end-of-input test may move the reader's buffer under the current line.
    bool at_object = false;
    for (;;) {
        if (!run.pace.keep_going())
            return LoopEnd::Stopped;
        if (at_object) {
            block.clear();
            if (exporter.export_object(run, block) && !run.sink.place_block(block))
                return LoopEnd::WriteFailed;
            at_object = matches(in.line(), ase_keyword::object_start);
        }
        if (in.number() != 0)
            run.pace.progress(in.number());
        if (in.at_end())
            break;
        if (!at_object) {
            if (!in.read())
                break;
            at_object = matches(in.line(), ase_keyword::object_start);
        }
    }
    return LoopEnd::Finished;
}

} // namespace trevanix
