#include "convert/ase_face_lines.hpp"

#include <bit>
#include <cstring>

#include "convert/ase_face_columns.hpp"
#include "convert/line_assembler.hpp"
#include "format/asc_lines.hpp"
#include "format/ase_keywords.hpp"
#include "format/text.hpp"

namespace trevanix {

namespace {

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

// The text from 1-based position `start` to `last` (inclusive); nullopt when
// a label was missing or the range runs backwards.
std::optional<std::string_view> text_between(std::string_view line, std::int64_t start, std::int64_t last) noexcept
{
    if (start < 1 || last < start - 1)
        return std::nullopt;
    return mid(line, static_cast<std::size_t>(start), static_cast<std::size_t>(last - start + 1));
}

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
    // Blanks, then a plain number. Where the line has room for it, the
    // blanks and the digits are each counted in one step, eight bytes at a
    // time: how many of each stand there varies from value to value, and a
    // loop over them would keep guessing wrong where it ends.
    bool value(std::string_view& digits) noexcept
    {
        if constexpr (std::endian::native == std::endian::little) {
            if (end_ - p_ >= 16 && counted_value(digits))
                return !digits.empty() && (digits[0] != '0' || digits.size() == 1);
        }
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
    static std::uint64_t eight_at(const char* at) noexcept
    {
        std::uint64_t bytes = 0;
        std::memcpy(&bytes, at, sizeof bytes);
        return bytes;
    }
    // Up to seven blanks, then up to seven digits (at least 16 bytes are
    // left); false, with nothing passed, for a longer run of either.
    bool counted_value(std::string_view& digits) noexcept
    {
        const std::uint64_t not_blank = eight_at(p_) ^ 0x2020202020202020ULL;
        if (not_blank == 0)
            return false;
        const char* start = p_ + (__builtin_ctzll(not_blank) >> 3);
        // A byte is a digit when it differs from '0' by less than ten; the
        // top bit of each byte tells, without a carry into the next one.
        const std::uint64_t offset = eight_at(start) ^ 0x3030303030303030ULL;
        const std::uint64_t not_digit =
            (((offset & 0x7F7F7F7F7F7F7F7FULL) + 0x7676767676767676ULL) | offset) & 0x8080808080808080ULL;
        if (not_digit == 0)
            return false;
        const auto length = static_cast<std::size_t>(__builtin_ctzll(not_digit) >> 3);
        digits = std::string_view(start, length);
        p_ = start + length;
        return true;
    }

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
// "A:" a " B:" b " C:" c " AB:" ab " BC:" bc " CA:" ca, each value after
// blanks (the labels as the face line grammar spells them, checked with
// compares the compiler unrolls).
bool read_canonical_corners_and_edges(FaceScan& scan, FaceReading& r) noexcept
{
    return scan.literal("A:") && scan.value(r.corners[0]) && scan.literal(" B:") && scan.value(r.corners[1]) &&
           scan.literal(" C:") && scan.value(r.corners[2]) && scan.literal(" AB:") && scan.value(r.edges[0]) &&
           scan.literal(" BC:") && scan.value(r.edges[1]) && scan.literal(" CA:") && scan.value(r.edges[2]);
}

// The sub-material id: 1 to 5 digits that fit 16 bits, ending the line.
bool read_canonical_id(FaceScan& scan, FaceReading& r) noexcept
{
    std::string_view id;
    scan.blanks();
    if (!scan.plain_number(id) || !scan.at_end() || id.size() > 5)
        return false;
    int submaterial = 0;
    for (const char c : id)
        submaterial = submaterial * 10 + (c - '0');
    if (submaterial > 32767)
        return false;
    r.submaterial = static_cast<std::int16_t>(submaterial);
    return true;
}

bool read_canonical_face(std::string_view face, FaceReading& r) noexcept
{
    FaceScan scan(face);
    std::string_view index;
    if (!scan.literal("\t\t\t*MESH_FACE"))
        return false;
    scan.blanks();
    if (!scan.plain_number(index) || !scan.literal(":"))
        return false;
    scan.blanks();
    if (!read_canonical_corners_and_edges(scan, r))
        return false;
    if (!scan.literal("\t *MESH_SMOOTHING ") || !scan.group_list(r.smoothing) || !scan.literal(" \t*MESH_MTLID "))
        return false;
    if (!read_canonical_id(scan, r))
        return false;
    for (int k = 0; k < 3; ++k) {
        std::int64_t value = 0;
        for (const char c : r.corners[k])
            value = value * 10 + (c - '0');
        r.corner_values[k] = value;
    }
    r.canonical = true;
    return true;
}

// A face line in the columns 3ds Max writes: the columns in a few vector
// steps, then the smoothing groups and the id as the straight reading takes them.
bool read_columns_face(std::string_view face, FaceReading& r) noexcept
{
    if (!read_face_columns(face, r))
        return false;
    FaceScan scan(face.substr(face_columns_end));
    if (!scan.group_list(r.smoothing) || !scan.literal(" \t*MESH_MTLID ") || !read_canonical_id(scan, r))
        return false;
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
    for (int k = 0; k < 3; ++k) {
        out += asc::face_corner_labels[k];
        if (texture_corners)
            out += texture_corners[k];
        else if (r.canonical)
            out += r.corners[k];
        else
            append_field_number(out, r.corners[k]);
    }
    for (int k = 0; k < 3; ++k) {
        out += asc::face_edge_labels[k];
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
    std::size_t room = asc::face_line_start.size() + LineAssembler::decimal_room + asc::line_end.size() +
                       material.size() + r.smoothing.size() + asc::material_line_start.size() + 1 +
                       asc::line_end.size() + asc::smoothing_line_start.size() + asc::line_end.size();
    for (int k = 0; k < 3; ++k)
        room += asc::face_corner_labels[k].size() + corners[k].size() + asc::face_edge_labels[k].size() +
                r.edges[k].size();
    LineAssembler line;
    if (!line.fits(room))
        return false;
    line.put(asc::face_line_start);
    line.put_decimal(j);
    for (int k = 0; k < 3; ++k) {
        line.put(asc::face_corner_labels[k]);
        line.put(corners[k]);
    }
    for (int k = 0; k < 3; ++k) {
        line.put(asc::face_edge_labels[k]);
        line.put(r.edges[k]);
    }
    line.put(asc::line_end);
    if (!material.empty()) {
        line.put(asc::material_line_start);
        line.put(material);
        line.put("\"");
        line.put(asc::line_end);
        line.put(asc::smoothing_line_start);
        line.put(r.smoothing);
        line.put(asc::line_end);
    }
    line.append_to(out);
    return true;
}

} // namespace

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

bool read_face_line(std::string_view face, FaceReading& reading) noexcept
{
    return read_columns_face(face, reading) || read_canonical_face(face, reading) ||
           read_face_by_labels(face, reading);
}

void append_face_lines(std::string& out, std::int64_t j, const FaceReading& reading,
                       const std::string_view* texture_corners, std::string_view material)
{
    const std::string_view* corners = texture_corners ? texture_corners : reading.corners;
    if (!reading.canonical || !assemble_face_text(out, j, reading, corners, material))
        append_face_text(out, j, reading, texture_corners, material);
}

} // namespace trevanix
