#pragma once
// The two readings of a scene's objects, and every rule in which they differ.
//
// One object reader per format serves both: the checks of the analysis read
// an object to judge it, the conversion reads it to write its block. They
// read it differently in a few places, and each difference is one named rule
// below, with what it means for the user. An object that passes the checks
// and is left out by the conversion is left out by one of these rules (or by
// a rule of the writing), so the conversion's report can always name why.
namespace trevanix {

enum class ObjectReading {
    Checks,     // the analysis: judge the object and log why it fails
    Conversion, // the conversion: gather what its block is written from
};

namespace reading_rule {

// ".ase". The conversion leaves out an object whose name begins with "LOD"
// (case-sensitive): a level-of-detail copy that Kolbrin2's importers never
// take (key "lod_name"). The checks judge it like any other object, so it
// counts as valid and is then named among the objects left out.
constexpr bool leaves_out_lod_names(ObjectReading reading) noexcept { return reading == ObjectReading::Conversion; }

// Both formats. The conversion needs every count as a whole number from 0 to
// 2147483647, since it writes that many lines; any other count leaves the
// object out (key "counts_unusable"). The checks read a count leniently, as
// far as its text is a number: "2.5" faces are judged on two face lines.
constexpr bool needs_whole_counts(ObjectReading reading) noexcept { return reading == ObjectReading::Conversion; }

// ".ase". When the "*MESH_NUMFACES" line does not follow the
// "*MESH_NUMVERTEX" line, the checks judge the object with the face count of
// the object before it; the conversion cannot write an object without a face
// count of its own and leaves it out (key "face_count_line_missing").
constexpr bool carries_face_count_over(ObjectReading reading) noexcept { return reading == ObjectReading::Checks; }

// ".ase". The checks pass over the vertex lines and search for the face list
// from the second line after the counts. The conversion reads the vertex list
// where the counts end and the face list right after the vertex list's
// closing line; an object whose lists stand elsewhere is left out (keys
// "vertex_list_missing", "face_list_missing").
constexpr bool reads_lists_at_their_places(ObjectReading reading) noexcept
{
    return reading == ObjectReading::Conversion;
}

// ".ase". The checks read only the sub-material id of each face line, which
// must be a number that fits 16 bits (key "unreadable_submaterial_id"). The
// conversion reads the values of the vertex, mapping vertex and mapping face
// lines: by their TAB-separated fields as 3ds Max writes them, or, in a line
// written with blanks, by its runs of text between blanks or TABs, so that
// blank-separated lists convert as their TAB twins.
constexpr bool reads_list_values(ObjectReading reading) noexcept { return reading == ObjectReading::Conversion; }

// ".ase". The conversion joins each face to the mapping face of the same
// number, so an object with fewer or more mapping faces than faces is left
// out (key "mapping_face_count_differs"); the checks only need both counts
// other than 0.
constexpr bool needs_a_mapping_face_per_face(ObjectReading reading) noexcept
{
    return reading == ObjectReading::Conversion;
}

// ".ase". Where the material reference is looked for. The checks go on from
// the mapping face count to a shadow property line followed by a material
// reference (the wire colour there instead means the object has no
// material). The conversion takes the first shadow property line after the
// mapping faces: the line after it maps the object when it is a material
// reference and the scene has materials, and otherwise the object is written
// without its texture coordinates.
constexpr bool takes_first_shadow_property(ObjectReading reading) noexcept
{
    return reading == ObjectReading::Conversion;
}

// ".ase". A file that ends inside an object: the checks cannot find where the
// next object starts, so the analysis ends with the structure message; the
// conversion leaves that one object out (key "object_cut_short").
constexpr bool end_of_file_breaks_structure(ObjectReading reading) noexcept { return reading == ObjectReading::Checks; }

// ".asc". The checks need the line after the name to begin with "Tri-mesh"
// (key "counts_line_missing"). The conversion reads the counts from any line
// that holds both colons and the word "faces".
constexpr bool needs_counts_keyword(ObjectReading reading) noexcept { return reading == ObjectReading::Checks; }

// ".asc". The checks need "Mapped" or "Vertex list" after the counts (key
// "mapping_line_missing") and pass over the line after "Mapped" as the
// vertex list line. The conversion passes over each of the two lines when it
// is there.
constexpr bool needs_mapping_or_list_line(ObjectReading reading) noexcept { return reading == ObjectReading::Checks; }

// ".asc". An object without vertex lines (or without face lines) passes the
// checks, which judge the lines that are there; the conversion would write
// it with empty lists and leaves it out (keys "vertex_line_missing",
// "face_line_missing").
constexpr bool needs_both_sections(ObjectReading reading) noexcept { return reading == ObjectReading::Conversion; }

// ".asc". The checks need a "Smoothing" line after every face (and its
// optional "Material" line), since the scene uses textures (key
// "smoothing_line_missing"); the conversion drops both lines and needs
// neither.
constexpr bool needs_smoothing_lines(ObjectReading reading) noexcept { return reading == ObjectReading::Checks; }

} // namespace reading_rule

} // namespace trevanix
