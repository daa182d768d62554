// The vertex line split (`split_vertex_line`), the sign toggle and both flips, on any
// bytes: the value texts must be pieces of the line, and a flip either writes
// a whole line or nothing.
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/vertex_lines.hpp"
#include "fuzz_session.hpp"

namespace {

using trevanix::fuzzing::broken_promise;

void check_inside(std::string_view piece, std::string_view line)
{
    if (piece.empty() || piece == "no_uv")
        return;
    if (piece.data() < line.data() || piece.data() + piece.size() > line.data() + line.size())
        broken_promise("a value text lies outside its line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    trevanix::VertexFields fields;
    const trevanix::SplitResult result = trevanix::split_vertex_line(line, fields);
    if (result != trevanix::SplitResult::MissingXyz) {
        for (std::string_view piece : {fields.x, fields.y, fields.z})
            check_inside(piece, line);
        if (fields.has_uv && result == trevanix::SplitResult::Ok) {
            check_inside(fields.u, line);
            check_inside(fields.v, line);
        }
        // Only one leading "-" is removed, so "--1" toggles to "-1" and back to "1".
        if (!fields.y.starts_with("--")) {
            std::string toggled;
            trevanix::append_sign_toggled(toggled, fields.y);
            std::string back;
            trevanix::append_sign_toggled(back, toggled);
            if (back != fields.y)
                broken_promise("toggling a sign twice changed the value text");
        }
    }
    for (bool mapped : {false, true}) {
        std::string out = "prefix";
        if (!trevanix::append_axis_flipped(out, line, mapped) && out != "prefix")
            broken_promise("a failed axis flip appended text");
    }
    std::string out = "prefix";
    if (!trevanix::append_texture_flipped(out, line) && out != "prefix")
        broken_promise("a failed texture flip appended text");
    return 0;
}
