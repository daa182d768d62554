#include "convert/ase_export.hpp"

#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "format/text.hpp"
#include "format/ase_keywords.hpp"
#include "format/asc_lines.hpp"
#include "convert/line_assembler.hpp"
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
    for (; i + 16 <= line.size(); i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + i));
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, tab))); mask != 0;
             mask &= mask - 1) {
            if (tab_at(i + static_cast<std::size_t>(__builtin_ctz(mask))))
                return true;
        }
    }
#endif
    for (; i < line.size(); ++i) {
        if (line[i] == '\t' && tab_at(i))
            return true;
    }
    // The end of the line ends the last field.
    return tab_at(line.size());
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
    // Most indices are a few bare digits: read them in place.
    if (!text.empty() && text.size() <= 9) {
        std::int64_t value = 0;
        bool digits_only = true;
        for (const char c : text) {
            const auto digit = static_cast<unsigned char>(c - '0');
            digits_only = digits_only && digit < 10;
            value = value * 10 + digit;
        }
        if (digits_only)
            return value < limit ? std::optional<std::int64_t>(value) : std::nullopt;
    }
    std::optional<std::int64_t> index;
    if (const auto plain = plain_integer(text); plain && !plain->negative)
        index = plain->magnitude;
    else
        index = asc::whole_count(number_value(text));
    if (!index || *index >= limit)
        return std::nullopt;
    return index;
}

// What a face line gives the export.
struct FaceReading {
    std::string_view corners[3]; // the texts of A, B and C: geometric vertex indices
    std::string_view edges[3];   // the texts of AB, BC and CA
    std::string_view smoothing;
    std::int16_t submaterial = 0;
    // The corner and edge texts are plain decimal numbers without blanks or
    // leading zeros: written as they stand, and the corners read as digits.
    bool canonical = false;
    std::int64_t corner_values[3] = {0, 0, 0}; // the corners' values when canonical
};

// Reads the face line by its labels, as the written rules say: each label's
// first occurrence, each value between its label and the separator in front
// of the next label.
bool read_face_by_labels(std::string_view face, FaceReading& r) noexcept
{
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
    const auto submaterial = to_int16(
        number_value(mid(face, static_cast<std::size_t>(pM) + ase_keyword::face_submaterial_id_label.size())));
    if (!submaterial)
        return false;
    r.corners[0] = *a;
    r.corners[1] = *b;
    r.corners[2] = *c;
    r.edges[0] = *ab;
    r.edges[1] = *bc;
    r.edges[2] = *ca;
    r.smoothing = smoothing_length < 0 ? std::string_view("0")
                                       : mid(face, static_cast<std::size_t>(smoothing_start),
                                             static_cast<std::size_t>(smoothing_length));
    r.submaterial = *submaterial;
    r.canonical = false;
    return true;
}

// A reader that walks a face line as 3ds Max writes it.
class FaceScan {
public:
    explicit FaceScan(std::string_view line) : p_(line.data()), end_(line.data() + line.size()) {}

    template <std::size_t N>
    bool literal(const char (&text)[N]) noexcept
    {
        constexpr std::size_t size = N - 1;
        if (static_cast<std::size_t>(end_ - p_) < size || std::memcmp(p_, text, size) != 0)
            return false;
        p_ += size;
        return true;
    }
    void blanks() noexcept
    {
        while (p_ < end_ && *p_ == ' ')
            ++p_;
    }
    // "0", or 1 to 9 digits without a leading zero.
    bool plain_number(std::string_view& digits) noexcept
    {
        const char* start = p_;
        while (p_ < end_ && p_ - start < 10 && static_cast<unsigned char>(*p_ - '0') < 10)
            ++p_;
        digits = std::string_view(start, static_cast<std::size_t>(p_ - start));
        return !digits.empty() && digits.size() <= 9 && (digits[0] != '0' || digits.size() == 1);
    }
    // Blanks, then a plain number.
    bool value(std::string_view& digits) noexcept
    {
        blanks();
        return plain_number(digits);
    }
    // Digits and commas, at least one.
    bool group_list(std::string_view& list) noexcept
    {
        const char* start = p_;
        while (p_ < end_ && (static_cast<unsigned char>(*p_ - '0') < 10 || *p_ == ','))
            ++p_;
        list = std::string_view(start, static_cast<std::size_t>(p_ - start));
        return !list.empty();
    }
    bool at_end() const noexcept { return p_ == end_; }

private:
    const char* p_;
    const char* end_;
};

// The face line exactly as 3ds Max writes it:
//   TAB TAB TAB "*MESH_FACE" blanks index ":" blanks "A:" blanks a " B:" blanks b " C:" blanks c
//   " AB:" blanks ab " BC:" blanks bc " CA:" blanks ca TAB " *MESH_SMOOTHING " groups " " TAB
//   "*MESH_MTLID " blanks id
// with plain decimal numbers and a group list of digits and commas. In such
// a line each label occurs first where the grammar puts it, so reading it
// straight through gives what the reading by labels gives; any other line is
// read by its labels.
bool read_canonical_face(std::string_view face, FaceReading& r) noexcept
{
    FaceScan scan(face);
    std::string_view index, id;
    if (!scan.literal("\t\t\t*MESH_FACE"))
        return false;
    scan.blanks();
    if (!scan.plain_number(index) || !scan.literal(":"))
        return false;
    scan.blanks();
    if (!scan.literal("A:") || !scan.value(r.corners[0]) || !scan.literal(" B:") || !scan.value(r.corners[1]) ||
        !scan.literal(" C:") || !scan.value(r.corners[2]) || !scan.literal(" AB:") || !scan.value(r.edges[0]) ||
        !scan.literal(" BC:") || !scan.value(r.edges[1]) || !scan.literal(" CA:") || !scan.value(r.edges[2]))
        return false;
    if (!scan.literal("\t *MESH_SMOOTHING ") || !scan.group_list(r.smoothing) || !scan.literal(" \t*MESH_MTLID "))
        return false;
    scan.blanks();
    if (!scan.plain_number(id) || !scan.at_end() || id.size() > 5)
        return false;
    int submaterial = 0;
    for (const char c : id)
        submaterial = submaterial * 10 + (c - '0');
    if (submaterial > 32767)
        return false;
    r.submaterial = static_cast<std::int16_t>(submaterial);
    for (int k = 0; k < 3; ++k) {
        std::int64_t value = 0;
        for (const char c : r.corners[k])
            value = value * 10 + (c - '0');
        r.corner_values[k] = value;
    }
    r.canonical = true;
    return true;
}

// The face line and, for a face with a material, its material and smoothing
// lines, piece by piece; the corners are the texture corners of a mapped
// object (written as they stand) or, when null, the geometric ones.
void append_face_text(std::string& out, std::int64_t j, const FaceReading& r, const std::string_view* texture_corners,
                                         std::string_view material)
{
    asc::append_face_start(out, j);
    constexpr std::string_view corner_labels[3] = {": A:", " B:", " C:"};
    for (int k = 0; k < 3; ++k) {
        out += corner_labels[k];
        if (texture_corners)
            out += texture_corners[k];
        else if (r.canonical)
            out += r.corners[k];
        else
            append_field_number(out, r.corners[k]);
    }
    constexpr std::string_view edge_labels[3] = {" AB:", " BC:", " CA:"};
    for (int k = 0; k < 3; ++k) {
        out += edge_labels[k];
        if (r.canonical)
            out += r.edges[k];
        else
            append_field_number(out, r.edges[k]);
    }
    out += asc::line_end;
    if (!material.empty())
        asc::append_material_lines(out, material, r.smoothing);
}

// The same lines for a canonical face, whose corner and edge texts are
// written as they stand, assembled in one buffer. False (nothing appended)
// when they would not fit.
bool assemble_face_text(std::string& out, std::int64_t j, const FaceReading& r, const std::string_view* corners,
                                           std::string_view material)
{
    constexpr std::size_t fixed = 5 + LineAssembler::decimal_room + 4 + 3 + 3 + 4 + 4 + 4 + 2 + 10 + 3 + 11 + 2;
    std::size_t variable = material.size() + r.smoothing.size();
    for (int k = 0; k < 3; ++k)
        variable += corners[k].size() + r.edges[k].size();
    LineAssembler line;
    if (!line.fits(fixed + variable))
        return false;
    line.put("Face ");
    line.put_decimal(j);
    line.put(": A:");
    line.put(corners[0]);
    line.put(" B:");
    line.put(corners[1]);
    line.put(" C:");
    line.put(corners[2]);
    line.put(" AB:");
    line.put(r.edges[0]);
    line.put(" BC:");
    line.put(r.edges[1]);
    line.put(" CA:");
    line.put(r.edges[2]);
    line.put("\r\n");
    if (!material.empty()) {
        line.put("Material:\"");
        line.put(material);
        line.put("\"\r\nSmoothing: ");
        line.put(r.smoothing);
        line.put("\r\n");
    }
    line.append_to(out);
    return true;
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

bool AseObjectExporter::read_lines(ExportRun& run, std::int64_t count, std::vector<Span>& list)
{
    LineCursor& in = run.input;
    list.clear();
    for (std::int64_t i = 0; i < count; ++i) {
        if (!in.read())
            return false;
        const std::string_view text = in.line();
        run.note_copied_line();
        list.push_back(Span{arena_.size(), text.size(), true});
        arena_ += text;
    }
    return true;
}

bool AseObjectExporter::read_field_lines(ExportRun& run, std::int64_t count, std::size_t wanted,
                                         std::vector<Fields>& list, std::string_view keyword)
{
    LineCursor& in = run.input;
    list.clear();
    for (std::int64_t i = 0; i < count; ++i) {
        if (!in.read())
            return false;
        const std::string_view text = in.line();
        std::string_view values[3];
        Fields fields;
        // A line that fails its keyword test, or lacks a field, stays an empty
        // slot; an object whose faces use such a slot is left out. A cut line
        // that passes the keyword test counts as copied: the fields it would
        // be judged on may lie beyond the cut.
        const bool keyword_matches = keyword.empty() || matches(text, keyword);
        if (keyword_matches)
            run.note_copied_line();
        if (keyword_matches && tab_fields(text, 4, wanted, values)) {
            fields.present = true;
            // Only the wanted fields are kept.
            const char* kept = values[0].data();
            const std::size_t base = arena_.size();
            arena_.append(kept, static_cast<std::size_t>(values[wanted - 1].data() + values[wanted - 1].size() - kept));
            for (std::size_t k = 0; k < wanted; ++k) {
                fields.begin[k] = base + static_cast<std::size_t>(values[k].data() - kept);
                fields.size[k] = values[k].size();
            }
        }
        list.push_back(fields);
    }
    return true;
}

bool AseObjectExporter::place_corner(std::optional<std::int64_t> g, std::string_view texture, bool mapped)
{
    if (!g || *g >= nv_ || !verts_[static_cast<std::size_t>(*g)].present)
        return false;
    std::int64_t at = *g;
    if (mapped) {
        const auto t = index_below(texture, ntv_);
        if (!t || !tverts_[static_cast<std::size_t>(*t)].present)
            return false;
        at = *t;
    }
    slot_sources_[static_cast<std::size_t>(at)] = *g;
    return true;
}

bool AseObjectExporter::face_pass(const MaterialCatalogue& catalogue, bool mapped)
{
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
        FaceReading r;
        if (!read_canonical_face(face, r) && !read_face_by_labels(face, r))
            return false;
        if (mapped && r.submaterial > 0 && r.submaterial >= submaterials)
            return false;
        for (int k = 0; k < 3; ++k) {
            const auto g = r.canonical ? std::optional<std::int64_t>(r.corner_values[k]) : index_below(r.corners[k], nv_);
            if (!place_corner(g, texture_corners[k], mapped))
                return false;
        }

        std::string_view material;
        if (mapped) {
            // Faces mostly share their sub-material: look the cell up once per change.
            if (r.submaterial != cached_mtlid_) {
                const std::string& cell = catalogue.cell(material_reference_, r.submaterial);
                const std::size_t separator = cell.find(asc::cell_separator);
                if (separator == std::string::npos)
                    return false;
                cached_material_ = std::string_view(cell).substr(0, separator);
                cached_mtlid_ = r.submaterial;
            }
            if (cached_material_ != asc::empty_material)
                material = cached_material_;
        }
        if (!r.canonical || !assemble_face_text(face_text_, j, r, mapped ? texture_corners : r.corners, material))
            append_face_text(face_text_, j, r, mapped ? texture_corners : nullptr, material);
    }
    return true;
}

namespace {

// A value text without blanks, tabs or colons splits back out of a rebuilt
// vertex line exactly as it went in, so the flips can take it directly.
bool splits_back(std::string_view text) noexcept
{
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == ':')
            return false;
    }
    return true;
}

constexpr std::string_view filler_value = "0.000000";

// "Vertex " + i + the mapped or unmapped form of the values, flipped as
// asked, assembled in one buffer. False (nothing appended) when the line
// would not fit.
bool assemble_vertex_line(std::string& out, std::size_t i, std::string_view x, std::string_view y, std::string_view z,
                          std::string_view u, std::string_view v, bool mapped, bool axis_flip, bool texture_flip)
{
    LineAssembler line;
    if (!line.fits(7 + LineAssembler::decimal_room + 5 + 7 + 7 + 7 + 7 + 2 + 2 + x.size() + y.size() + z.size() +
                   u.size() + v.size()))
        return false;
    line.put("Vertex ");
    line.put_decimal(static_cast<std::int64_t>(i));
    line.put(":  X:");
    line.put(x);
    line.put("     Y:");
    if (axis_flip) {
        line.put(z);
        line.put("     Z:");
        line.put_sign_toggled(y);
    } else {
        line.put(y);
        line.put("     Z:");
        line.put(z);
    }
    if (mapped) {
        line.put("     U:");
        line.put(u);
        line.put("     V:");
        if (texture_flip)
            line.put_sign_toggled(v);
        else
            line.put(v);
    }
    line.put("\r\n");
    line.append_to(out);
    return true;
}

} // namespace

AseObjectExporter::VertexSlot AseObjectExporter::slot_values(std::size_t slot, bool mapped) const noexcept
{
    const std::int64_t g = slot_sources_[slot];
    if (g < 0)
        return {};
    const Fields& position = verts_[static_cast<std::size_t>(g)];
    VertexSlot values{field(position, 0), field(position, 1), field(position, 2), {}, {}, true};
    if (mapped) {
        const Fields& texture = tverts_[slot];
        values.u = field(texture, 0);
        values.v = field(texture, 1);
    }
    return values;
}

bool AseObjectExporter::append_vertex_lines(const ExportOptions& options, bool mapped, std::string& block,
                                            std::string& clipboard_line)
{
    const bool texture_flip = options.texture_flip && mapped;
    const bool axis_flip = options.axis_flip;
    for (std::size_t i = 0; i < slot_sources_.size(); ++i) {
        const VertexSlot slot = slot_values(i, mapped);
        if (!axis_flip && !texture_flip) {
            const VertexSlot values = slot.set ? slot
                                               : VertexSlot{filler_value, filler_value, filler_value,
                                                            mapped ? filler_value : std::string_view(),
                                                            mapped ? filler_value : std::string_view(), true};
            if (assemble_vertex_line(block, i, values.x, values.y, values.z, values.u, values.v, mapped, false, false))
                continue;
        } else if (const bool last = i + 1 == slot_sources_.size(); slot.set && !(last && axis_flip)) {
            // Values that split back unchanged take the flips directly.
            const bool direct = splits_back(slot.x) && splits_back(slot.y) && splits_back(slot.z) &&
                                (!mapped || (splits_back(slot.u) && splits_back(slot.v)));
            if (direct && assemble_vertex_line(block, i, slot.x, slot.y, slot.z, slot.u, slot.v, mapped, axis_flip,
                                               texture_flip))
                continue;
        }
        asc::append_vertex_start(block, static_cast<std::int64_t>(i));
        if (!axis_flip && !texture_flip) {
            if (!slot.set)
                block += mapped ? asc::mapped_filler : asc::unmapped_filler;
            else if (mapped)
                append_mapped_form(block, slot.x, slot.y, slot.z, slot.u, slot.v);
            else
                append_unmapped_form(block, slot.x, slot.y, slot.z);
            block += asc::line_end;
            continue;
        }
        const bool last = i + 1 == slot_sources_.size();
        const VertexSlot values = slot.set ? slot
                                           : VertexSlot{filler_value, filler_value, filler_value,
                                                        mapped ? filler_value : std::string_view(),
                                                        mapped ? filler_value : std::string_view(), true};
        const bool direct = splits_back(values.x) && splits_back(values.y) && splits_back(values.z) &&
                            (!mapped || (splits_back(values.u) && splits_back(values.v)));
        if (direct && !(last && axis_flip)) {
            append_flipped_directly(block, values, mapped, axis_flip, texture_flip);
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
        if (axis_flip) {
            if (last)
                clipboard_line = scratch_;
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

bool AseObjectExporter::read_object(ExportRun& run)
{
    LineCursor& in = run.input;
    run.cut_line = 0;
    arena_.clear();

    if (!in.read())
        return false;
    const auto name = asc::quoted_name(in.line());
    if (!name || name->substr(0, 3) == "LOD")
        return false;
    run.note_copied_line();
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

    if (!in.read() || !matches(in.line(), ase_keyword::vertex_list) || !read_field_lines(run, nv_, 3, verts_, {}))
        return false;
    if (!in.read() || !in.read() || !matches(in.line(), ase_keyword::face_list) || !read_lines(run, nf_, faces_))
        return false;

    if (!in.read() || !read_until(in, ase_keyword::mapping_vertex_count))
        return false;
    const auto ntv = count_after(in.line(), ase_keyword::mapping_vertex_count);
    if (!ntv || *ntv == 0)
        return false;
    ntv_ = *ntv;
    if (!in.read() || !read_field_lines(run, ntv_, 2, tverts_, ase_keyword::mapping_vertex))
        return false;

    if (!read_until(in, ase_keyword::mapping_face_count))
        return false;
    const auto ntf = count_after(in.line(), ase_keyword::mapping_face_count);
    if (!ntf || *ntf == 0)
        return false;
    ntf_ = *ntf;
    if (!in.read() || !read_field_lines(run, ntf_, 3, tfaces_, ase_keyword::mapping_face))
        return false;

    if (!read_until(in, ase_keyword::shadow_property) || !in.read())
        return false;
    mapped_ = false;
    if (matches(in.line(), ase_keyword::material_ref) && run.has_materials) {
        const auto reference = to_int16(number_value(in.line().substr(ase_keyword::material_ref.size())));
        if (!reference)
            return false;
        material_reference_ = *reference;
        mapped_ = true;
    }
    // The line after the material reference closes the object; the input may
    // end there.
    in.read();

    cut_line_ = run.cut_line;
    // The faces are written from the face list and joined to the texture faces
    // one by one: both lists must be equally long.
    return ntf_ == nf_;
}

bool AseObjectExporter::write_object(const ExportOptions& options, const MaterialCatalogue& catalogue,
                                     std::string& block, std::string& clipboard_line)
{
    const bool mapped = mapped_;
    slot_sources_.assign(static_cast<std::size_t>(mapped ? ntv_ : nv_), -1);
    if (!face_pass(catalogue, mapped))
        return false;

    asc::append_name_line(block, name_);
    asc::append_counts_line(block, mapped ? ntv_ : nv_, mapped ? ntf_ : nf_);
    asc::append_line(block, asc::mapped_line);
    asc::append_line(block, asc::vertex_list_line);
    if (!append_vertex_lines(options, mapped, block, clipboard_line))
        return false;
    asc::append_line(block, asc::face_list_line);
    block += face_text_;
    block += asc::line_end;
    return true;
}

namespace {

// Writes read objects into blocks and places them, on a thread of its own,
// while the loop reads the next object into the other of two exporters. One
// object is in flight at a time, so blocks are placed in the order of the
// scene, and the loop waits when the writing falls behind.
class ObjectWriting {
public:
    explicit ObjectWriting(ExportRun& run)
        : options_(run.options), catalogue_(run.catalogue), sink_(run.sink), thread_([this] { work(); })
    {
    }
    ~ObjectWriting()
    {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ObjectWriting(const ObjectWriting&) = delete;
    ObjectWriting& operator=(const ObjectWriting&) = delete;

    // Waits until the object handed over before is placed, then takes this
    // one. False when the writing has ended the run (see end()).
    bool hand_over(AseObjectExporter& exporter)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return job_ == nullptr; });
        rethrow_failure();
        if (end_ != LoopEnd::Finished)
            return false;
        job_ = &exporter;
        lock.unlock();
        changed_.notify_all();
        return true;
    }
    // Waits until every object handed over is placed; Finished, or why the
    // writing ended the run.
    LoopEnd finish()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return job_ == nullptr; });
        rethrow_failure();
        return end_;
    }
    std::int64_t cut_line() const noexcept { return cut_line_; }
    // The last vertex line the axis flip saw; read after finish().
    std::string& clipboard_line() noexcept { return clipboard_line_; }

private:
    void work()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return job_ != nullptr || closing_; });
            if (job_ == nullptr)
                return;
            lock.unlock();
            LoopEnd end = LoopEnd::Finished;
            std::exception_ptr failure;
            try {
                block_.clear();
                // An object holding a line cut short is refused, not written:
                // what it would be judged on may lie beyond the cut.
                if (job_->cut_line() != 0) {
                    cut_line_ = job_->cut_line();
                    end = LoopEnd::LineTooLong;
                } else if (job_->write_object(options_, catalogue_, block_, clipboard_line_) &&
                           !sink_.place_block(block_)) {
                    end = LoopEnd::WriteFailed;
                }
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            end_ = end;
            failure_ = failure;
            job_ = nullptr;
            changed_.notify_all();
        }
    }
    void rethrow_failure()
    {
        if (failure_)
            std::rethrow_exception(std::exchange(failure_, nullptr));
    }

    const ExportOptions options_;
    const MaterialCatalogue& catalogue_;
    BlockSink& sink_;
    std::string block_;
    std::string clipboard_line_;
    std::int64_t cut_line_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    AseObjectExporter* job_ = nullptr;
    LoopEnd end_ = LoopEnd::Finished;
    std::exception_ptr failure_;
    bool closing_ = false;
    std::thread thread_;
};

} // namespace

LoopEnd run_ase_export(ExportRun& run)
{
    LineCursor& in = run.input;
    AseObjectExporter exporters[2];
    int reading = 0; // the exporter the next object is read into
    ObjectWriting writing(run);
    // Whether the current line starts an object. Kept as a flag because the
    // end-of-input test may move the reader's buffer under the current line.
    bool at_object = false;
    LoopEnd end = LoopEnd::Finished;
    for (;;) {
        if (!run.pace.keep_going())
            return LoopEnd::Stopped;
        if (at_object) {
            if (exporters[reading].read_object(run)) {
                if (!writing.hand_over(exporters[reading]))
                    break;
                reading = 1 - reading;
            }
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
    end = writing.finish();
    if (end == LoopEnd::LineTooLong)
        run.cut_line = writing.cut_line();
    run.clipboard_line = std::move(writing.clipboard_line());
    return end;
}

} // namespace trevanix
