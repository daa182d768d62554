#include "format/line_end_rule.hpp"

#include <cstring>
#include <memory>

namespace trevanix {

namespace {

constexpr std::size_t looked_at = std::size_t{64} << 10;

} // namespace

LineEndRule line_end_rule_from_start(const SceneFile& file)
{
    const auto start = std::make_unique<char[]>(looked_at);
    std::size_t got = 0;
    if (file.read_at(0, start.get(), looked_at, got) != ReadOutcome::Read)
        return LineEndRule::Unknown; // the pass over the whole file reports why
    if (std::memchr(start.get(), '\r', got) != nullptr)
        return LineEndRule::CarriageReturn;
    if (got < file.size())
        return LineEndRule::Unknown;
    return std::memchr(start.get(), '\n', got) != nullptr ? LineEndRule::LineFeedToo : LineEndRule::CarriageReturn;
}

} // namespace trevanix
