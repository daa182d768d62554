#include "bench/scene_generator.hpp"

#include <cstdarg>
#include <cstdio>
#include <stdexcept>

namespace trevanix::bench {

namespace {

// Side of the square grid of each object: (kGrid + 1)^2 vertices and
// 2 * kGrid^2 faces, a few hundred of each as in typical scene parts.
constexpr int kGrid = 16;

class Writer {
public:
    explicit Writer(const std::string& path) : file_(std::fopen(path.c_str(), "wb")), path_(path)
    {
        if (file_ == nullptr)
            throw std::runtime_error("cannot create " + path);
        buffer_.reserve(kFlushAt + 4096);
    }
    ~Writer()
    {
        if (file_ != nullptr)
            std::fclose(file_);
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // One line, CR LF appended.
    void line(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        char text[512];
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        buffer_.append(text, static_cast<std::size_t>(n < 0 ? 0 : n));
        buffer_.append("\r\n");
        if (buffer_.size() >= kFlushAt)
            flush();
    }

    std::uint64_t written() const noexcept { return written_ + buffer_.size(); }

    void close()
    {
        flush();
        if (std::fclose(file_) != 0) {
            file_ = nullptr;
            throw std::runtime_error("cannot write " + path_);
        }
        file_ = nullptr;
    }

private:
    static constexpr std::size_t kFlushAt = std::size_t{1} << 20;

    void flush()
    {
        if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
            throw std::runtime_error("cannot write " + path_);
        written_ += buffer_.size();
        buffer_.clear();
    }

    std::FILE* file_;
    std::string path_;
    std::string buffer_;
    std::uint64_t written_ = 0;
};

double coordinate(std::int64_t object, int i, int axis)
{
    return static_cast<double>((object * 37 + i * (axis + 3)) % 2000) / 7.0 - 140.0;
}

void ase_material_list(Writer& w)
{
    struct Plain {
        const char* name;
        const char* kind;
        const char* bitmap; // nullptr: no picture
    };
    static constexpr Plain plain[] = {
        {"asphalt", "Standard", "C:\\maps\\asphalt_dark.bmp"},
        {"grass", "Standard", "C:\\maps\\grass_01.bmp"},
        {"brick", "GTA Material", "brick_07.bmp"},
        {"concrete", "Standard", "C:\\maps\\concrete.bmp"},
        {"metal", "GTA Material", "metal_plate.bmp"},
        {"glass", "Standard", nullptr},
    };
    constexpr int plain_count = static_cast<int>(sizeof plain / sizeof plain[0]);
    w.line("*MATERIAL_LIST {");
    w.line("\t*MATERIAL_COUNT %d", plain_count + 1);
    auto properties = [&w](const char* tabs) {
        w.line("%s*MATERIAL_AMBIENT 0.5882\t0.5882\t0.5882", tabs);
        w.line("%s*MATERIAL_DIFFUSE 0.5882\t0.5882\t0.5882", tabs);
        w.line("%s*MATERIAL_SPECULAR 0.9000\t0.9000\t0.9000", tabs);
        w.line("%s*MATERIAL_SHINE 0.1000", tabs);
        w.line("%s*MATERIAL_TRANSPARENCY 0.0000", tabs);
        w.line("%s*MATERIAL_WIRESIZE 1.0000", tabs);
    };
    auto diffuse = [&w](const char* tabs, const char* map_name, const char* bitmap) {
        w.line("%s*MAP_DIFFUSE {", tabs);
        w.line("%s\t*MAP_NAME \"%s\"", tabs, map_name);
        w.line("%s\t*MAP_CLASS \"Bitmap\"", tabs);
        w.line("%s\t*MAP_SUBNO 1", tabs);
        w.line("%s\t*MAP_AMOUNT 1.0000", tabs);
        w.line("%s\t*BITMAP \"%s\"", tabs, bitmap);
        w.line("%s\t*MAP_TYPE Screen", tabs);
        w.line("%s\t*BITMAP_FILTER Pyramidal", tabs);
        w.line("%s}", tabs);
    };
    for (int m = 0; m < plain_count; ++m) {
        w.line("\t*MATERIAL %d {", m);
        w.line("\t\t*MATERIAL_NAME \"%s\"", plain[m].name);
        w.line("\t\t*MATERIAL_CLASS \"%s\"", plain[m].kind);
        properties("\t\t");
        w.line("\t\t*MATERIAL_SHADING Blinn");
        if (plain[m].bitmap != nullptr)
            diffuse("\t\t", plain[m].name, plain[m].bitmap);
        w.line("\t}");
    }
    w.line("\t*MATERIAL %d {", plain_count);
    w.line("\t\t*MATERIAL_NAME \"facade\"");
    w.line("\t\t*MATERIAL_CLASS \"Multi/Sub-Object\"");
    properties("\t\t");
    w.line("\t\t*NUMSUBMTLS 3");
    for (int s = 0; s < 3; ++s) {
        w.line("\t\t*SUBMATERIAL %d {", s);
        w.line("\t\t\t*MATERIAL_NAME \"facade_%d\"", s);
        w.line("\t\t\t*MATERIAL_CLASS \"Standard\"");
        properties("\t\t\t");
        char bitmap[64];
        std::snprintf(bitmap, sizeof bitmap, "C:\\maps\\facade_%d.bmp", s);
        diffuse("\t\t\t", "facade map", bitmap);
        w.line("\t\t}");
    }
    w.line("\t}");
    w.line("}");
}

void ase_object(Writer& w, std::int64_t object)
{
    constexpr int side = kGrid + 1;
    constexpr int vertices = side * side;
    constexpr int faces = 2 * kGrid * kGrid;
    constexpr int materials = 7; // the six plain ones and the multi/sub-object one
    const int material = static_cast<int>(object % materials);
    w.line("*GEOMOBJECT {");
    w.line("\t*NODE_NAME \"part%06lld\"", static_cast<long long>(object));
    w.line("\t*NODE_TM {");
    w.line("\t\t*NODE_NAME \"part%06lld\"", static_cast<long long>(object));
    w.line("\t\t*TM_ROW0 1.0000\t0.0000\t0.0000");
    w.line("\t\t*TM_ROW1 0.0000\t1.0000\t0.0000");
    w.line("\t\t*TM_ROW2 0.0000\t0.0000\t1.0000");
    w.line("\t\t*TM_ROW3 0.0000\t0.0000\t0.0000");
    w.line("\t}");
    w.line("\t*MESH {");
    w.line("\t\t*TIMEVALUE 0");
    w.line("\t\t*MESH_NUMVERTEX %d", vertices);
    w.line("\t\t*MESH_NUMFACES %d", faces);
    w.line("\t\t*MESH_VERTEX_LIST {");
    for (int i = 0; i < vertices; ++i)
        w.line("\t\t\t*MESH_VERTEX %4d\t%.4f\t%.4f\t%.4f", i, coordinate(object, i, 0), coordinate(object, i, 1),
               coordinate(object, i, 2));
    w.line("\t\t}");
    w.line("\t\t*MESH_FACE_LIST {");
    int f = 0;
    for (int y = 0; y < kGrid; ++y) {
        for (int x = 0; x < kGrid; ++x) {
            const int a = y * side + x;
            const int id = material == materials - 1 ? (f / 2) % 3 : 0;
            w.line("\t\t\t*MESH_FACE %4d:    A: %4d B: %4d C: %4d AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING %d "
                   "\t*MESH_MTLID %d",
                   f, a, a + 1, a + side + 1, 1 + (f % 4), id);
            ++f;
            w.line("\t\t\t*MESH_FACE %4d:    A: %4d B: %4d C: %4d AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING %d "
                   "\t*MESH_MTLID %d",
                   f, a + side + 1, a + side, a, 1 + (f % 4), id);
            ++f;
        }
    }
    w.line("\t\t}");
    w.line("\t\t*MESH_NUMTVERTEX %d", vertices);
    w.line("\t\t*MESH_TVERTLIST {");
    for (int i = 0; i < vertices; ++i)
        w.line("\t\t\t*MESH_TVERT %d\t%.4f\t%.4f\t0.0000", i, (i % side) / double(kGrid), (i / side) / double(kGrid));
    w.line("\t\t}");
    w.line("\t\t*MESH_NUMTVFACES %d", faces);
    w.line("\t\t*MESH_TFACELIST {");
    f = 0;
    for (int y = 0; y < kGrid; ++y) {
        for (int x = 0; x < kGrid; ++x) {
            const int a = y * side + x;
            w.line("\t\t\t*MESH_TFACE %d\t%d\t%d\t%d", f++, a, a + 1, a + side + 1);
            w.line("\t\t\t*MESH_TFACE %d\t%d\t%d\t%d", f++, a + side + 1, a + side, a);
        }
    }
    w.line("\t\t}");
    w.line("\t\t*MESH_NUMCVERTEX 0");
    w.line("\t}");
    w.line("\t*PROP_MOTIONBLUR 0");
    w.line("\t*PROP_CASTSHADOW 1");
    w.line("\t*PROP_RECVSHADOW 1");
    w.line("\t*MATERIAL_REF %d", material);
    w.line("}");
}

void asc_object(Writer& w, std::int64_t object)
{
    constexpr int side = kGrid + 1;
    constexpr int vertices = side * side;
    constexpr int faces = 2 * kGrid * kGrid;
    static constexpr const char* materials[] = {"asphalt", "grass", "brick", "concrete", "metal"};
    w.line("Named object: \"part%06lld\"", static_cast<long long>(object));
    w.line("Tri-mesh, Vertices: %d     Faces: %d", vertices, faces);
    w.line("Mapped");
    w.line("Vertex list:");
    for (int i = 0; i < vertices; ++i)
        w.line("Vertex %d:  X:%.6f     Y:%.6f     Z:%.6f     U:%.6f     V:%.6f", i, coordinate(object, i, 0),
               coordinate(object, i, 1), coordinate(object, i, 2), (i % side) / double(kGrid),
               (i / side) / double(kGrid));
    w.line("Face list:");
    int f = 0;
    const char* material = materials[object % 5];
    for (int y = 0; y < kGrid; ++y) {
        for (int x = 0; x < kGrid; ++x) {
            const int a = y * side + x;
            w.line("Face %d:    A:%d B:%d C:%d AB:1 BC:1 CA:0", f++, a, a + 1, a + side + 1);
            w.line("Material:\"%s\"", material);
            w.line("Smoothing:  %d", 1 + (f % 4));
            w.line("Face %d:    A:%d B:%d C:%d AB:1 BC:1 CA:0", f++, a + side + 1, a + side, a);
            w.line("Material:\"%s\"", material);
            w.line("Smoothing:  %d", 1 + (f % 4));
        }
    }
    w.line("%s", "");
}

} // namespace

GeneratedScene write_ase_scene(const std::string& path, std::uint64_t min_bytes)
{
    Writer w(path);
    w.line("*3DSMAX_ASCIIEXPORT\t200");
    w.line("*COMMENT \"AsciiExport Version  2,00 - generated by trevanix-bench\"");
    w.line("*SCENE {");
    w.line("\t*SCENE_FILENAME \"bench.max\"");
    w.line("\t*SCENE_FIRSTFRAME 0");
    w.line("\t*SCENE_LASTFRAME 100");
    w.line("}");
    ase_material_list(w);
    GeneratedScene scene;
    while (w.written() < min_bytes)
        ase_object(w, scene.objects++);
    w.close();
    scene.bytes = w.written();
    return scene;
}

GeneratedScene write_asc_scene(const std::string& path, std::uint64_t min_bytes)
{
    Writer w(path);
    w.line("Ambient light color: Red=0.3 Green=0.3 Blue=0.3");
    w.line("%s", "");
    GeneratedScene scene;
    while (w.written() < min_bytes)
        asc_object(w, scene.objects++);
    w.close();
    scene.bytes = w.written();
    return scene;
}

} // namespace trevanix::bench
