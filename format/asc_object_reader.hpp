#pragma once
// The one reader of ".asc" objects. From the object's name line it reads the
// name, the counts line, the mapping and vertex list lines, then the vertex
// and face lines by their running numbers, and tells where it stopped. The
// checks of the analysis and the conversion's re-export are its two
// consumers; where they read an object differently, the reader follows the
// named rules of reading_rules.hpp.
#include <cstdint>
#include <string>
#include <string_view>

#include "format/line_cursor.hpp"
#include "format/reading_rules.hpp"

namespace trevanix {

// Why the reading of an object stopped before its end. The line it stopped
// on is the cursor's current line.
enum class AscStop {
    None,                 // read to its end
    NameNotQuoted,        // the name line lacks its two double quotes
    CutShort,             // the file ends inside the object
    CountsLineMissing,    // checks: the line after the name does not begin with "Tri-mesh"
    CountsLineMalformed,  // checks: the counts line lacks a ":" or the word "faces"
    CountsUnusable,       // conversion: the counts line lacks its marks or a count is not whole
    ZeroVertices,
    ZeroFaces,
    TooManyFaces,
    MappingLineMissing,   // checks: neither "Mapped" nor "Vertex list" follows the counts
    VertexLineMissing,    // a vertex line is missing or out of order (conversion: or none at all)
    FaceLineMissing,      // a face line is missing or out of order (conversion: or none at all)
    SmoothingLineMissing, // checks: a face lacks its "Smoothing" line
    ListLineRefused,      // the consumer could not take a list line (see AscListLines)
};

// What a reading found of one object.
struct AscObject {
    AscStop stop = AscStop::None;
    std::string name;
    bool has_name = false;
    // The counts as read (whole numbers for the conversion).
    double vertices = 0;
    double faces = 0;
    // The vertex or face whose line is missing, or whose smoothing line is.
    std::int64_t failed_index = 0;
    // The first line handed to the consumer that the line source cut short; 0 when none.
    std::int64_t cut_line = 0;
};

// Receives the lists of an object as the reader meets them: the conversion
// copies them. Nothing is owed for an object that stops: its lines are
// dropped with it.
class AscListLines {
public:
    virtual ~AscListLines() = default;
    // The counts are read and the vertex lines follow.
    virtual void vertices_begin(const AscObject& object) = 0;
    // Vertex `index`; `tail` is what follows its number. False refuses the
    // line, and the reading stops (ListLineRefused).
    virtual bool vertex_line(std::int64_t index, std::string_view tail) = 0;
    virtual void faces_begin() = 0;
    // A face line, whole.
    virtual void face_line(std::string_view line) = 0;
};

class AscObjectReader {
public:
    explicit AscObjectReader(ObjectReading reading) noexcept : reading_(reading) {}

    // Reads the object whose name line is current into `object`, handing its
    // lists to `lists` when given. The cursor is left on the line the reading
    // stopped at, or on the first line after the object.
    void read(LineCursor& in, AscObject& object, AscListLines* lists = nullptr) const;

private:
    ObjectReading reading_;
};

} // namespace trevanix
