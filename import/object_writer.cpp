#include "import/object_writer.hpp"

#include "convert/line_assembler.hpp"
#include "convert/vertex_lines.hpp"
#include "format/asc_lines.hpp"
#include "import/number_text.hpp"
#include "import/object_survey.hpp"

namespace trevanix {

namespace {

void set_number(std::string& text, float value)
{
    text.clear();
    append_number_text(text, value);
}

} // namespace

void ObjectWriter::append_vertex_lines(const aiMesh& mesh, const PlannedObject& object, const ExportOptions& options)
{
    const std::vector<std::uint32_t>& vertices = part_vertices_.vertices();
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const std::uint32_t v = vertices[i];
        const aiVector3D p = world_position(object.placement, mesh.mVertices[v]);
        set_number(x_, p.x);
        set_number(y_, p.y);
        set_number(z_, p.z);
        if (object.mapped) {
            set_number(u_, mesh.mTextureCoords[0][v].x);
            set_number(v_, mesh.mTextureCoords[0][v].y);
        }
        write_vertex_line(block_, static_cast<std::int64_t>(i), {x_, y_, z_, u_, v_, object.mapped},
                          {options.axis_flip, options.texture_flip && object.mapped});
    }
}

void ObjectWriter::append_face_lines(std::span<const ObjectTriangle> part, std::span<const std::uint8_t> groups,
                                     std::string_view material)
{
    LineAssembler line;
    for (std::size_t j = 0; j < part.size(); ++j) {
        const ObjectTriangle& t = part[j];
        line.clear();
        line.put(asc::face_line_start);
        line.put_decimal(static_cast<std::int64_t>(j));
        for (int k = 0; k < 3; ++k) {
            line.put(asc::face_corner_labels[k]);
            line.put_decimal(part_vertices_.index_of(t.vertex[k]));
        }
        for (int k = 0; k < 3; ++k) {
            line.put(asc::face_edge_labels[k]);
            line.put_decimal((t.polygon_edges >> k) & 1);
        }
        line.put(asc::line_end);
        line.append_to(block_);
        if (!material.empty()) {
            block_ += asc::material_line_start;
            block_ += material;
            block_ += '"';
            block_ += asc::line_end;
        }
        line.clear();
        line.put(asc::smoothing_line_start);
        line.put_decimal(groups[j]);
        line.put(asc::line_end);
        line.append_to(block_);
    }
}

ObjectWriter::Result ObjectWriter::write(const ImportedScene& scene, const PlannedObject& object,
                                         const ExportOptions& options, BlockSink& sink, WorkPace& pace)
{
    const aiMesh& mesh = *scene.scene().mMeshes[object.mesh];
    triangulator_.triangulate(mesh, object.mirrored, triangles_);
    const std::span<const aiVector3D> normals =
        mesh.HasNormals() ? std::span<const aiVector3D>(mesh.mNormals, mesh.mNumVertices)
                          : std::span<const aiVector3D>();
    const std::vector<std::uint8_t>& groups =
        smoothing_.find({mesh.mVertices, mesh.mNumVertices}, normals, triangles_.triangles);
    const std::string_view material = object.mapped && mesh.mMaterialIndex < scene.material_lines.size()
                                          ? std::string_view(scene.material_lines[mesh.mMaterialIndex])
                                          : std::string_view();
    const std::span<const ObjectTriangle> all(triangles_.triangles);
    for (std::size_t k = 0; k < object.part_names.size(); ++k) {
        if (!pace.keep_going())
            return Result::Stopped;
        const std::span<const ObjectTriangle> part = part_of(all, k);
        part_vertices_.collect(part, mesh.mNumVertices);
        block_.clear();
        asc::append_name_line(block_, object.part_names[k]);
        asc::append_counts_line(block_, static_cast<std::int64_t>(part_vertices_.vertices().size()),
                                static_cast<std::int64_t>(part.size()));
        if (object.mapped)
            asc::append_line(block_, asc::mapped_line);
        asc::append_line(block_, asc::vertex_list_line);
        append_vertex_lines(mesh, object, options);
        asc::append_line(block_, asc::face_list_line);
        append_face_lines(part, std::span<const std::uint8_t>(groups).subspan(k * most_faces_per_object, part.size()),
                          material);
        asc::append_line(block_, {});
        if (!sink.place_block(block_))
            return Result::WriteFailed;
    }
    return Result::Written;
}

} // namespace trevanix
