#include "convert/left_out_accounting.hpp"

#include <limits>

namespace trevanix {

LeftOutAccounting::LeftOutAccounting(const PassedObjects& passed, LeftOutReport& report)
    : reader_(passed), report_(report)
{
    advance();
}

void LeftOutAccounting::advance() { has_next_ = reader_.next(next_); }

bool LeftOutAccounting::reach(std::int64_t line)
{
    while (has_next_ && next_.start_line < line) {
        report_.object_left_out(next_.start_line, next_.name, LeftOutReason::ObjectStartSkipped);
        advance();
    }
    return has_next_ && next_.start_line == line;
}

void LeftOutAccounting::object_written(std::int64_t start_line)
{
    if (reach(start_line))
        advance();
}

void LeftOutAccounting::object_left_out(std::int64_t start_line, LeftOutReason reason)
{
    // An object the analysis rejected is in the error log already.
    if (!reach(start_line))
        return;
    report_.object_left_out(next_.start_line, next_.name, reason);
    advance();
}

void LeftOutAccounting::finish() { reach(std::numeric_limits<std::int64_t>::max()); }

} // namespace trevanix
