#pragma once
// The one reader of ".ase" geometric objects. From the "*GEOMOBJECT" line it
// reads the object's skeleton: its name, counts, lists, material reference
// and the line numbers where it stops. The checks of the analysis and the
// conversion's exporter are its two consumers; where they read an object
// differently, the reader follows the named rules of reading_rules.hpp.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "format/line_cursor.hpp"
#include "format/reading_rules.hpp"

namespace trevanix {

// Why the reading of an object stopped before its end. The line it stopped
// on is the cursor's current line.
enum class AseStop {
    None,                      // read to its end
    NameNotQuoted,             // the line after "*GEOMOBJECT" lacks its two double quotes
    LodName,                   // conversion: the name begins with "LOD"
    CutShort,                  // conversion: the file ends inside the object
    BrokenStructure,           // checks: the file ends inside the object
    VertexCountMissing,        // checks: no "*MESH_NUMVERTEX" line up to the file's end
    MappingVertexCountMissing, // checks: no "*MESH_NUMTVERTEX" line up to the file's end
    CountsUnusable,            // conversion: a count is not a whole number in range
    ZeroVertices,
    ZeroFaces,
    TooManyFaces,
    FaceCountLineMissing,      // conversion: the face count does not follow the vertex count
    VertexListMissing,         // conversion
    FaceListMissing,           // conversion
    UnreadableSubmaterialId,   // checks: a face line without a 16-bit "*MESH_MTLID"
    ZeroMappingVertices,
    ZeroMappingFaces,
    UnknownMaterial,           // conversion: the material reference is no 16-bit number
    MappingFaceCountDiffers,   // conversion
};

// The values of a list line the conversion keeps (up to three), as places in
// the object's arena. `present` is false for a line without them.
struct AseListValues {
    std::size_t begin[3] = {0, 0, 0};
    std::size_t size[3] = {0, 0, 0};
    bool present = false;
};

// A whole line kept in the object's arena.
struct AseLineSpan {
    std::size_t begin = 0;
    std::size_t size = 0;
};

// What a reading found of one object. Reused from object to object, so a
// scene costs no allocation per line once its largest object has been read.
struct AseObject {
    AseStop stop = AseStop::None;
    std::int64_t start_line = 0; // the "*GEOMOBJECT" line
    std::string name;
    bool has_name = false;
    // The counts as read (whole numbers for the conversion).
    double vertices = 0;
    double faces = 0;
    double mapping_vertices = 0;
    double mapping_faces = 0;
    // The material reference: its number as read, when the object has one
    // (the checks: the reference after the shadow property; the conversion:
    // a reference right after the first shadow property).
    bool has_material_reference = false;
    double material_number = 0;

    // The checks: each face's sub-material id, and the face whose id could
    // not be read (UnreadableSubmaterialId).
    std::vector<std::int16_t> submaterial_ids;
    std::int64_t unreadable_face = 0;

    // The conversion: the lines and values its block is written from.
    std::string arena;
    std::vector<AseListValues> vertex_values;         // X, Y, Z of each vertex line
    std::vector<AseLineSpan> face_lines;              // each face line whole
    std::vector<AseListValues> mapping_vertex_values; // U, V of each mapping vertex line
    std::vector<AseListValues> mapping_face_values;   // the three corners of each mapping face line
    // The first line kept for the block that the line source cut short; 0 when none.
    std::int64_t cut_line = 0;

    std::string_view line(const AseLineSpan& span) const noexcept
    {
        return std::string_view(arena).substr(span.begin, span.size);
    }
    std::string_view value(const AseListValues& values, std::size_t k) const noexcept
    {
        return std::string_view(arena).substr(values.begin[k], values.size[k]);
    }
};

class AseObjectReader {
public:
    // `scene_has_materials`: the conversion maps an object by its material
    // reference only when the scene has a material list.
    explicit AseObjectReader(ObjectReading reading, bool scene_has_materials = false) noexcept
        : reading_(reading), scene_has_materials_(scene_has_materials)
    {
    }

    // Reads the object whose "*GEOMOBJECT" line is current into `object`.
    // The cursor is left on the line the reading stopped at: for the checks
    // the object's last line (its material reference or wire colour), for the
    // conversion the line after its material reference.
    void read(LineCursor& in, AseObject& object);

    ObjectReading reading() const noexcept { return reading_; }

private:
    ObjectReading reading_;
    bool scene_has_materials_;
    // The checks' face count, carried over to an object without a face count
    // line of its own (see reading_rule::carries_face_count_over).
    double carried_face_count_ = 0;
};

// The values of an ".ase" list line: its TAB fields 4 onwards where it has
// them, as the exporters write it; else its runs of text between blanks or
// TABs after the leading TABs (keyword, index, then the values). `count`
// values go to `out`; false when the line has fewer.
bool ase_list_values(std::string_view line, std::size_t count, std::string_view* out) noexcept;

} // namespace trevanix
