#include "format/asc_object_reader.hpp"

#include "format/asc_lines.hpp"
#include "format/kolbrin_limits.hpp"
#include "format/text.hpp"

namespace trevanix {

namespace {

constexpr asc::ShortText vertex_written = asc::short_text(asc::vertex_line_start);
constexpr asc::ShortText face_written = asc::short_text(asc::face_line_start);

// The line begins with the keyword as the writer spells it ("Vertex ",
// "Face ") and the running index: the common case of the case-insensitive
// test, answered with a compare of eight bytes each. Other lines take the
// full test.
bool starts_with_indexed_fast(std::string_view line, const asc::ShortText& written, std::string_view keyword,
                              const asc::RunningIndex& index, std::string_view& rest) noexcept
{
    const std::string_view digits = index.digits();
    if (digits.size() <= 8 && line.size() >= written.size + 8 && asc::begins_with(line.data(), written)) {
        if (!asc::begins_with(line.data() + written.size, index.packed()))
            return false;
        rest = line.substr(written.size + digits.size());
        return true;
    }
    return asc::starts_with_indexed(line, keyword, index, rest);
}

bool is_material_line(std::string_view line) noexcept { return starts_with_lower(line, asc::material); }
bool is_smoothing_line(std::string_view line) noexcept { return starts_with_lower(line, asc::smoothing); }

// One object's reading: the steps in the order of the object's lines. Each
// step returns false once the reading has stopped (object.stop says why) or,
// after the last face, once the file has ended with the object whole.
class Reading {
public:
    Reading(LineCursor& in, AscObject& object, ObjectReading reading, AscListLines* lists)
        : in_(in), object_(object), reading_(reading), lists_(lists)
    {
    }

    void run()
    {
        if (read_name() && read_counts() && pass_list_headers() && read_vertex_lines())
            read_face_lines();
    }

private:
    bool stop(AscStop why) noexcept
    {
        object_.stop = why;
        return false;
    }
    bool stop_at(AscStop why, std::int64_t index) noexcept
    {
        object_.failed_index = index;
        return stop(why);
    }
    [[gnu::always_inline]] bool next() { return in_.read() || stop(AscStop::CutShort); }

    // A line handed to the consumer.
    void note_kept_line() noexcept
    {
        if (object_.cut_line == 0 && in_.line_cut())
            object_.cut_line = in_.number();
    }

    bool read_name()
    {
        const auto name = asc::quoted_name(in_.line());
        if (!name)
            return stop(AscStop::NameNotQuoted);
        object_.name.assign(*name);
        object_.has_name = true;
        note_kept_line();
        return next();
    }

    bool read_count_texts()
    {
        const std::string_view line = in_.line();
        if (reading_rule::needs_counts_keyword(reading_) && !starts_with_lower(line, asc::counts))
            return stop(AscStop::CountsLineMissing);
        const auto texts = asc::count_texts(line);
        if (!reading_rule::needs_whole_counts(reading_)) {
            if (!texts)
                return stop(AscStop::CountsLineMalformed);
            object_.vertices = number_value(texts->vertices);
            object_.faces = number_value(texts->faces);
            return true;
        }
        const auto counts = asc::read_counts_line(line);
        if (!counts)
            return stop(AscStop::CountsUnusable);
        object_.vertices = static_cast<double>(counts->vertices);
        object_.faces = static_cast<double>(counts->faces);
        return true;
    }

    bool read_counts()
    {
        if (!read_count_texts())
            return false;
        if (object_.vertices == 0)
            return stop(AscStop::ZeroVertices);
        if (object_.faces == 0)
            return stop(AscStop::ZeroFaces);
        if (kolbrin::too_many_faces(object_.faces))
            return stop(AscStop::TooManyFaces);
        return next();
    }

    // The "Mapped" and "Vertex list" lines before the vertex lines.
    bool pass_list_headers()
    {
        const bool mapped = starts_with_lower(in_.line(), asc::mapped);
        if (!reading_rule::needs_mapping_or_list_line(reading_)) {
            if (mapped && !next())
                return false;
            return !starts_with_lower(in_.line(), asc::vertex_list) || next();
        }
        if (!mapped && !starts_with_lower(in_.line(), asc::vertex_list))
            return stop(AscStop::MappingLineMissing);
        // The line after "Mapped" is taken for the vertex list line.
        return (!mapped || next()) && next();
    }

    // Whether the section whose first line is current is there; an object
    // without it passes the checks and is left out of the conversion.
    bool section_present(std::string_view keyword, AscStop missing, bool& present)
    {
        present = starts_with_lower(in_.line(), keyword);
        return present || !reading_rule::needs_both_sections(reading_) || stop(missing);
    }

    bool read_vertex_lines()
    {
        bool present = false;
        if (!section_present(asc::vertex, AscStop::VertexLineMissing, present))
            return false;
        if (!present)
            return true;
        if (lists_ != nullptr)
            lists_->vertices_begin(object_);
        for (asc::RunningIndex i; static_cast<double>(i.value()) <= object_.vertices - 1; i.next()) {
            std::string_view tail;
            if (!starts_with_indexed_fast(in_.line(), vertex_written, asc::vertex, i, tail))
                return stop_at(AscStop::VertexLineMissing, i.value());
            note_kept_line();
            if (lists_ != nullptr && !lists_->vertex_line(i.value(), tail))
                return stop(AscStop::ListLineRefused);
            if (!next())
                return false;
        }
        return true;
    }

    bool read_face_lines()
    {
        if (starts_with_lower(in_.line(), asc::face_list) && !next())
            return false;
        bool present = false;
        if (!section_present(asc::face, AscStop::FaceLineMissing, present))
            return false;
        if (!present)
            return true;
        if (lists_ != nullptr)
            lists_->faces_begin();
        for (asc::RunningIndex i; static_cast<double>(i.value()) <= object_.faces - 1; i.next()) {
            std::string_view rest;
            if (!starts_with_indexed_fast(in_.line(), face_written, asc::face, i, rest))
                return stop_at(AscStop::FaceLineMissing, i.value());
            note_kept_line();
            if (lists_ != nullptr)
                lists_->face_line(in_.line());
            const bool last = static_cast<double>(i.value() + 1) > object_.faces - 1;
            if (!pass_face_tail(i.value(), last))
                return false;
        }
        return true;
    }

    // The file may end after the last face: the object is whole then.
    [[gnu::always_inline]] bool next_or_whole(bool last) { return in_.read() || (!last && stop(AscStop::CutShort)); }

    // The "Material" and "Smoothing" lines after a face line.
    bool pass_face_tail(std::int64_t index, bool last)
    {
        if (!reading_rule::needs_smoothing_lines(reading_)) {
            if (!next_or_whole(last))
                return false;
            if (is_material_line(in_.line()) && !next_or_whole(last))
                return false;
            return !is_smoothing_line(in_.line()) || next_or_whole(last);
        }
        if (!next())
            return false;
        if (is_material_line(in_.line()) && !next())
            return false;
        if (!is_smoothing_line(in_.line()))
            return stop_at(AscStop::SmoothingLineMissing, index);
        return next_or_whole(last);
    }

    LineCursor& in_;
    AscObject& object_;
    ObjectReading reading_;
    AscListLines* lists_;
};

} // namespace

void AscObjectReader::read(LineCursor& in, AscObject& object, AscListLines* lists) const
{
    object = AscObject{};
    Reading(in, object, reading_, lists).run();
}

} // namespace trevanix
