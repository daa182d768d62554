#include "analysis/object_check.hpp"

#include "format/text.hpp"

namespace trevanix {

std::string object_log_line(std::int64_t line_number, std::string_view name, std::string_view tail)
{
    std::string out = "Error in line ";
    append_decimal(out, line_number);
    out += " (object '";
    out += name;
    out += "') : ";
    out += tail;
    return out;
}

std::string quotes_missing_log_line(std::int64_t line_number)
{
    std::string out = "Error in line ";
    append_decimal(out, line_number);
    out += " : the quotes indicating the name of the object are missing";
    return out;
}

} // namespace trevanix
