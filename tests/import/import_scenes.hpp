#pragma once
// What the general reader's tests share: scenes made in code (a PNG, a glTF
// with its buffer in a data URI), the ".asc" a conversion wrote, read back
// line by line, and the round trip through the exact ".asc" analysis.
#include <gtest/gtest.h>

#include <stb_image_write.h>

#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "support/analysis_harness.hpp"

namespace trevanix::testing {

// A picture of w x h pixels, three bytes each, in a PNG file.
inline std::string png_file(int w, int h, const std::vector<std::uint8_t>& rgb)
{
    std::string bytes;
    stbi_write_png_to_func([](void* out, void* data, int size) {
        static_cast<std::string*>(out)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
    }, &bytes, w, h, 3, rgb.data(), w * 3);
    return bytes;
}

inline std::string base64(const std::string& bytes)
{
    static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<std::uint8_t>(bytes[i + 2]);
        for (std::size_t k = 0; k < 4; ++k)
            out += i + k <= bytes.size() ? digits[(group >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

template <typename T>
void append_raw(std::string& buffer, const std::vector<T>& values)
{
    buffer.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
    buffer.append((4 - buffer.size() % 4) % 4, '\0');
}

// A glTF 2.0 scene of one node "panel" and one triangle list, its buffer a
// data URI; with `png`, texture coordinates and a material "paint" whose base
// colour is that picture, embedded in the buffer.
inline std::string gltf_scene(const std::vector<float>& positions, const std::vector<std::uint16_t>& indices,
                              const std::vector<float>& uvs = {}, const std::string& png = {})
{
    std::string buffer;
    std::vector<std::pair<std::size_t, std::size_t>> views; // offset, length
    auto add = [&](auto values) {
        const std::size_t offset = buffer.size();
        append_raw(buffer, values);
        views.emplace_back(offset, values.size() * sizeof(values[0]));
    };
    add(positions);
    add(indices);
    if (!png.empty()) {
        add(uvs);
        add(std::vector<char>(png.begin(), png.end()));
    }
    std::ostringstream json;
    json << R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"name":"panel","mesh":0}],)"
         << R"("meshes":[{"primitives":[{"attributes":{"POSITION":0)" << (png.empty() ? "" : R"(,"TEXCOORD_0":2)")
         << R"(},"indices":1)" << (png.empty() ? "" : R"(,"material":0)") << "}]}],";
    if (!png.empty())
        json << R"("materials":[{"name":"paint","pbrMetallicRoughness":{"baseColorTexture":{"index":0}}}],)"
             << R"("textures":[{"source":0}],"images":[{"bufferView":3,"mimeType":"image/png"}],)";
    json << R"("buffers":[{"byteLength":)" << buffer.size() << R"(,"uri":"data:application/octet-stream;base64,)"
         << base64(buffer) << R"("}],"bufferViews":[)";
    for (std::size_t k = 0; k < views.size(); ++k)
        json << (k ? "," : "") << R"({"buffer":0,"byteOffset":)" << views[k].first << R"(,"byteLength":)"
             << views[k].second << "}";
    float low[3] = {1e30f, 1e30f, 1e30f}, high[3] = {-1e30f, -1e30f, -1e30f};
    for (std::size_t i = 0; i < positions.size(); ++i) {
        low[i % 3] = std::min(low[i % 3], positions[i]);
        high[i % 3] = std::max(high[i % 3], positions[i]);
    }
    json << R"(],"accessors":[{"bufferView":0,"componentType":5126,"count":)" << positions.size() / 3
         << R"(,"type":"VEC3","min":[)" << low[0] << "," << low[1] << "," << low[2] << R"(],"max":[)" << high[0]
         << "," << high[1] << "," << high[2] << "]},"
         << R"({"bufferView":1,"componentType":5123,"count":)" << indices.size() << R"(,"type":"SCALAR"})";
    if (!png.empty())
        json << R"(,{"bufferView":2,"componentType":5126,"count":)" << uvs.size() / 2 << R"(,"type":"VEC2"})";
    json << "]}";
    return json.str();
}

// One object of a written ".asc" file.
struct WrittenFace {
    std::array<int, 3> corner{};
    std::array<int, 3> edge{}; // AB, BC, CA
    std::string material;      // "" without a "Material:" line
    int smoothing = -1;
};
struct WrittenObject {
    std::string name;
    bool mapped = false;
    std::vector<std::string> vertex_tails; // what follows "Vertex i"
    std::vector<WrittenFace> faces;
};

inline std::vector<WrittenObject> read_written_asc(const std::string& text)
{
    std::vector<WrittenObject> objects;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with("Named object: \"")) {
            objects.emplace_back();
            objects.back().name = line.substr(15, line.size() - 16);
        } else if (objects.empty()) {
            continue;
        } else if (line == "Mapped") {
            objects.back().mapped = true;
        } else if (line.starts_with("Vertex ") && line != "Vertex list:") {
            objects.back().vertex_tails.push_back(line.substr(line.find(':')));
        } else if (line.starts_with("Face ") && line != "Face list:") {
            WrittenFace f;
            std::sscanf(line.c_str(), "Face %*d: A:%d B:%d C:%d AB:%d BC:%d CA:%d", &f.corner[0], &f.corner[1],
                        &f.corner[2], &f.edge[0], &f.edge[1], &f.edge[2]);
            objects.back().faces.push_back(f);
        } else if (line.starts_with("Material:\"")) {
            objects.back().faces.back().material = line.substr(10, line.size() - 11);
        } else if (line.starts_with("Smoothing: ")) {
            objects.back().faces.back().smoothing = std::stoi(line.substr(11));
        }
    }
    return objects;
}

// The exact ".asc" analysis of a written file: every object valid, and the
// totals the general reader's analysis gave.
inline void expect_exact_analysis_agrees(const std::string& asc_path, const SceneStatistics& general)
{
    Harness exact;
    exact.services.open_choices.push_back(ScriptedServices::chosen(asc_path));
    exact.form().click_Analize_filename();
    const AnalysisReport& report = exact.session().analysis_report;
    ASSERT_TRUE(report.completed) << asc_path;
    EXPECT_FALSE(report.problems) << asc_path << ": " << exact.log_text();
    const SceneStatistics& s = exact.scene().statistics;
    EXPECT_EQ(s.objects_found, general.valid_objects) << asc_path;
    EXPECT_EQ(s.valid_objects, general.valid_objects) << asc_path;
    EXPECT_EQ(s.faces, general.faces) << asc_path;
    EXPECT_EQ(s.vertices, general.vertices) << asc_path;
}

} // namespace trevanix::testing
