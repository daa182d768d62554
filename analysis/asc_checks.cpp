#include "analysis/asc_checks.hpp"

#include <string>

#include "analysis/text.hpp"
#include "convert/asc_text.hpp"

namespace trevanix {

std::string object_log_line(std::int64_t line_number, std::string_view name, std::string_view tail)
{
    std::string out = "Error in line ";
    append_decimal(out, line_number);
    out += " (object '";
    out += name;
    out += "') : ";
    out += tail;
    return out;
}

namespace {

constexpr std::string_view counts_missing =
    "the line indicating the number of vertices and faces couldn't be found, this object was skipped.";
constexpr std::string_view counts_mistyped =
    "the line indicating the number of vertices and faces is mystiped, it's required the : indicator in both faces and vertices, this object was skipped.";
constexpr std::string_view zero_vertices =
    "the line indicating the number of vertices and faces indicates that the object has 0 vertices. This object was skipped since it would make Kb2 crash when importing it.";
constexpr std::string_view zero_faces =
    "the line indicating the number of vertices and faces indicates that the object has 0 faces. This object was skipped since it would make Kb2 crash when importing it.";
constexpr std::string_view too_many_faces =
    "the line indicating the number of vertices and faces indicates that the object has 65535 faces. This object was skipped since Kb2 doesn't import completly objects with more than 65535 faces.";
constexpr std::string_view no_mapping_nor_vertex_list =
    "the line indicating if the object is mapped or not is missing as well as the one indicating the vertex list, this object was skipped.";
constexpr std::string_view file_ends_inside =
    "the file ends before the end of this object, this object was skipped.";

// The decimal digits of a running index, counted up in place: the vertex and
// face lines of an object are checked against 0, 1, 2, ... without formatting
// each number anew.
class RunningIndex {
public:
    std::int64_t value() const noexcept { return value_; }
    std::string_view digits() const noexcept { return {digits_ + start_, sizeof digits_ - start_}; }
    void next() noexcept
    {
        ++value_;
        std::size_t i = sizeof digits_;
        while (i > start_ && digits_[i - 1] == '9')
            digits_[--i] = '0';
        if (i > start_)
            ++digits_[i - 1];
        else
            digits_[--start_] = '1';
    }

private:
    char digits_[24] = {'0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0',
                        '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0', '0'};
    std::size_t start_ = sizeof digits_ - 1;
    std::int64_t value_ = 0;
};

// The line, lower-cased, begins with `word` followed by the decimal digits of index.
bool starts_with_indexed(std::string_view line, std::string_view word, const RunningIndex& index)
{
    return starts_with_lower(line, word) && starts_with_exact(line.substr(word.size()), index.digits());
}

class AscObjectExamination {
public:
    AscObjectExamination(SceneCursor& cursor, ErrorLog& log) : cursor_(cursor), log_(log) {}

    ObjectCheck run()
    {
        if (!read_name())
            return fail_with_line(quotes_missing_line());
        if (!advance())
            return result_;
        const std::string_view counts = cursor_.line();
        if (!starts_with_lower(counts, "tri-mesh"))
            return fail(counts_missing);
        if (!read_counts(counts))
            return fail(counts_mistyped);
        if (result_.vertices == 0)
            return fail(zero_vertices);
        if (result_.faces == 0)
            return fail(zero_faces);
        if (result_.faces > 65535)
            return fail(too_many_faces);
        if (!advance())
            return result_;
        const std::string_view header = cursor_.line();
        const bool mapped = starts_with_lower(header, "mapped");
        if (!mapped && !starts_with_lower(header, "vertex list"))
            return fail(no_mapping_nor_vertex_list);
        if (mapped && !advance())
            return result_;
        if (!advance())
            return result_;
        if (!check_vertex_lines() || !check_face_lines())
            return result_;
        result_.verdict = ObjectVerdict::Passed;
        return result_;
    }

private:
    bool read_name()
    {
        const std::string_view line = cursor_.line();
        const std::size_t first = position_of(line, '"');
        const std::size_t second = first ? position_of(line, '"', first + 1) : 0;
        if (first == 0 || second == 0)
            return false;
        result_.name = std::string(mid(line, first + 1, second - first - 1));
        result_.has_name = true;
        return true;
    }

    std::string quotes_missing_line() const
    {
        std::string out = "Error in line ";
        append_decimal(out, cursor_.number());
        out += " : the quotes indicating the name of the object are missing";
        return out;
    }

    // Counts line: vertices between the first ":" and the first letter of
    // "faces" (included), faces after the second ":".
    bool read_counts(std::string_view line)
    {
        const std::size_t first_colon = position_of(line, ':');
        const std::size_t second_colon = first_colon ? position_of(line, ':', first_colon + 1) : 0;
        const std::size_t faces_at = asc::position_of_faces(line);
        if (first_colon == 0 || second_colon == 0 || faces_at == 0)
            return false;
        // "faces" before the first colon leaves no text for the vertex count:
        // such a line is as unreadable as one without its colons.
        if (faces_at < first_colon)
            return false;
        result_.vertices = number_value(mid(line, first_colon + 1, faces_at - first_colon));
        result_.faces = number_value(mid(line, second_colon + 1));
        return true;
    }

    bool check_vertex_lines()
    {
        if (!starts_with_lower(cursor_.line(), "vertex "))
            return true;
        for (RunningIndex i; static_cast<double>(i.value()) <= result_.vertices - 1; i.next()) {
            if (!starts_with_indexed(cursor_.line(), "vertex ", i)) {
                fail(indexed_tail("the line containing information about vertex nr ", i.value(),
                                  " couldn't be found. This object was skipped since it would make Kb2 crash when importing it."));
                return false;
            }
            if (!advance())
                return false;
        }
        return true;
    }

    bool check_face_lines()
    {
        if (starts_with_lower(cursor_.line(), "face list") && !advance())
            return false;
        if (!starts_with_lower(cursor_.line(), "face "))
            return true;
        for (RunningIndex i; static_cast<double>(i.value()) <= result_.faces - 1; i.next()) {
            if (!starts_with_indexed(cursor_.line(), "face ", i)) {
                fail(indexed_tail("the line containing information about face nr ", i.value(),
                                  " couldn't be found. This object was skipped since it would make Kb2 crash when importing it."));
                return false;
            }
            if (!advance())
                return false;
            if (starts_with_lower(cursor_.line(), "material") && !advance())
                return false;
            if (!starts_with_lower(cursor_.line(), "smoothing")) {
                fail(indexed_tail("the line containing the smoothing groups settings in face nr ", i.value(),
                                  " couldn't be found. Since this is a 3d scene using textures, this object was skipped."));
                return false;
            }
            // The read after the last face only moves past the object: a file
            // that ends right there holds the whole object.
            const bool last_face = static_cast<double>(i.value() + 1) > result_.faces - 1;
            if (!cursor_.read() && !last_face) {
                fail(file_ends_inside);
                return false;
            }
        }
        return true;
    }

    static std::string indexed_tail(std::string_view before, std::int64_t index, std::string_view after)
    {
        std::string out(before);
        append_decimal(out, index);
        out += after;
        return out;
    }

    // Reads the next line of the object; the end of the file here means the
    // object is incomplete, and it fails.
    bool advance()
    {
        if (cursor_.read())
            return true;
        fail(file_ends_inside);
        return false;
    }

    ObjectCheck fail(std::string_view tail)
    {
        return fail_with_line(object_log_line(cursor_.number(), result_.name, tail));
    }

    ObjectCheck fail_with_line(const std::string& log_line)
    {
        log_.write_line(log_line);
        result_.verdict = ObjectVerdict::Failed;
        return result_;
    }

    SceneCursor& cursor_;
    ErrorLog& log_;
    ObjectCheck result_;
};

} // namespace

ObjectCheck examine_asc_line(SceneCursor& cursor, ErrorLog& log)
{
    if (!starts_with_lower(cursor.line(), "named object"))
        return {};
    return AscObjectExamination(cursor, log).run();
}

} // namespace trevanix
