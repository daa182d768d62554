#pragma once
// The object loop for ".ase" input: each geometric object becomes an ".asc"
// object block. A mapped object gets one vertex per texture vertex, placed at
// the geometric vertex that a face joins to it, and its faces use texture
// vertex indices and carry material and smoothing lines.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/export_run.hpp"
#include "convert/vertex_lines.hpp"
#include "format/ase_object_reader.hpp"

namespace trevanix {

// The object loop over `run`, taken a step at a time.
std::unique_ptr<ExportLoop> ase_export_loop(ExportRun& run);

// Holds one object at a time: its input lines in one arena, the vertex slots
// and the face lines to be written. Reused from object to object, so a scene
// costs no allocation per line once the largest object has been seen.
//
// Reading and writing an object are two steps, so that exporters already
// read can be written by another thread while the next object is read into
// one more (the loop keeps a few, see ase_export.cpp).
class AseObjectExporter {
public:
    using Outcome = std::optional<LeftOutReason>; // none: the object is kept so far

    // `scene_has_materials`: objects are mapped by their material references
    // only in a scene with a material list.
    explicit AseObjectExporter(bool scene_has_materials = false)
        : reader_(ObjectReading::Conversion, scene_has_materials)
    {
    }

    // Reads the object whose "*GEOMOBJECT" line is current; left_out() then
    // tells whether, and why, it is left out.
    void read_object(ExportRun& run);
    Outcome left_out() const noexcept { return left_out_; }
    // The line that starts the object read last.
    std::int64_t start_line() const noexcept { return object_.start_line; }
    // Writes the object read last as a block into `block`; `clipboard_line`
    // receives the last vertex line the axis flip saw. Gives the reason when
    // the object is left out after all.
    Outcome write_object(const ExportOptions& options, const MaterialCatalogue& catalogue, std::string& block,
                         std::string& clipboard_line);
    // The first line of the object read last that was cut short and is
    // copied into its block; 0 when none.
    std::int64_t cut_line() const noexcept { return left_out_ ? 0 : object_.cut_line; }

    // The memory the object read last holds, about.
    std::size_t held_bytes() const noexcept;
    // Gives back the memory of a large object once it is written, so that
    // exporters waiting their turn do not each keep the largest object's room.
    void release_if_large() noexcept;

private:
    Outcome face_pass(const MaterialCatalogue& catalogue, bool mapped);
    // The material name of the face's sub-material; "" for the empty
    // material and for a sub-material the material list left undefined.
    std::string_view material_of(const MaterialCatalogue& catalogue, std::int16_t submaterial);
    // The vertex slot of the corner (the texture vertex of a mapped object,
    // else the geometric vertex) takes the geometric vertex's position.
    // `geometric` is the corner's vertex index, nullopt when it could not be read.
    Outcome place_corner(std::optional<std::int64_t> geometric, std::string_view texture, bool mapped);
    // The values a vertex slot is written with: its geometric vertex's
    // position and, when mapped, its texture vertex's U and V; filler values
    // for a slot no face reaches.
    VertexValues slot_values(std::size_t slot, bool mapped) const noexcept;
    bool append_vertex_lines(const ExportOptions& options, bool mapped, std::string& block,
                             std::string& clipboard_line);
    bool write_resplit_vertex_line(std::string& block, std::int64_t index, const VertexValues& values,
                                   VertexFlips flips, std::string* clipboard_line);

    AseObjectReader reader_;
    AseObject object_;
    // For each vertex slot to be written, the geometric vertex whose position
    // it takes; -1 for a slot no face reaches (written as filler).
    std::vector<std::int64_t> slot_sources_;
    std::string face_text_;
    std::string scratch_, flipped_;
    int material_reference_ = 0;         // the current object's material number
    int cached_mtlid_ = -1;              // sub-material whose material name is cached
    std::string_view cached_material_;
    std::int64_t nv_ = 0, nf_ = 0, ntv_ = 0, ntf_ = 0;
    bool mapped_ = false;
    Outcome left_out_;
};

} // namespace trevanix
