#pragma once
// One object of an imported scene as ".asc" object blocks, in the forms the
// exact conversion writes: the name and counts lines, "Mapped" for an
// object with texture coordinates, the vertex lines (the flips work on the
// number texts, as for ".ase" input), and per face its line with the edge
// flags, a "Material:" line when its material has a texture, and its
// "Smoothing:" line. An object of more than 65535 faces is written as parts.
#include <cstdint>
#include <string>
#include <vector>

#include "convert/export_run.hpp"
#include "import/imported_scene.hpp"
#include "import/object_parts.hpp"
#include "import/object_triangles.hpp"
#include "import/smoothing_groups.hpp"

namespace trevanix {

class ObjectWriter {
public:
    enum class Result { Written, WriteFailed, Stopped };

    // Writes the valid object's blocks into `sink`, one per part.
    Result write(const ImportedScene& scene, const PlannedObject& object, const ExportOptions& options,
                 BlockSink& sink, WorkPace& pace);

private:
    void append_vertex_lines(const aiMesh& mesh, const PlannedObject& object, const ExportOptions& options);
    void append_face_lines(std::span<const ObjectTriangle> part, std::span<const std::uint8_t> groups,
                           std::string_view material);

    MeshTriangulator triangulator_;
    MeshTriangles triangles_;
    SmoothingGroupFinder smoothing_;
    PartVertices part_vertices_;
    std::string block_;
    std::string x_, y_, z_, u_, v_;
};

} // namespace trevanix
