#pragma once
// Builds ".asc" object blocks the way 3D Studio writes them: the name line,
// the counts line, the vertex and face lists, one empty line closing the
// block, CR LF line ends.
#include <string>
#include <vector>

namespace trevanix::testing {

struct AscObject {
    std::string name = "box";
    int vertices = 3;
    int faces = 1;
    bool mapped = false;        // a "Mapped" line before the vertex list
    bool uv = false;            // U and V texts on every vertex line
    std::string material{};     // a material line after every face when not empty
    bool smoothing = true;      // a smoothing line after every face
    std::string vertex_keyword = "Vertex";
};

// The block's lines, without line ends; the last one is the empty closing line.
inline std::vector<std::string> asc_object_lines(const AscObject& o)
{
    std::vector<std::string> l = {"Named object: \"" + o.name + "\"",
                                  "Tri-mesh, Vertices: " + std::to_string(o.vertices) +
                                      "     Faces: " + std::to_string(o.faces)};
    if (o.mapped)
        l.push_back("Mapped");
    l.push_back("Vertex list:");
    for (int i = 0; i < o.vertices; ++i)
        l.push_back(o.vertex_keyword + " " + std::to_string(i) + ":  X:1.0     Y:2.0     Z:3.0" +
                    (o.uv ? "     U:0.5     V:0.5" : ""));
    l.push_back("Face list:");
    for (int i = 0; i < o.faces; ++i) {
        l.push_back("Face " + std::to_string(i) + ":    A:0 B:1 C:2 AB:1 BC:1 CA:1");
        if (!o.material.empty())
            l.push_back("Material:\"" + o.material + "\"");
        if (o.smoothing)
            l.push_back("Smoothing:  1");
    }
    l.push_back("");
    return l;
}

inline std::string asc_object(const AscObject& o)
{
    std::string out;
    for (const auto& line : asc_object_lines(o))
        out += line + "\r\n";
    return out;
}

// The lines a 3D Studio export writes before its first object.
inline const std::string asc_header = "Ambient light color: Red=0.3 Green=0.3 Blue=0.3\r\n\r\n";

inline std::string asc_scene(const std::vector<AscObject>& objects, const std::string& header = asc_header)
{
    std::string out = header;
    for (const auto& o : objects)
        out += asc_object(o);
    return out;
}

} // namespace trevanix::testing
