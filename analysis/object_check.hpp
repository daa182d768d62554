#pragma once
// How the examination of one line of a checking pass ended, and the form of
// the log line of a rejected object.
#include <cstdint>
#include <string>
#include <string_view>

namespace trevanix {

enum class ObjectVerdict {
    NotAnObject, // the line starts no object
    Passed,
    Failed,      // the object is skipped; its log line is written
    Fatal,       // the file's structure is broken: the analysis ends
};

struct ObjectCheck {
    ObjectVerdict verdict = ObjectVerdict::NotAnObject;
    std::string name;                 // the object's name, once read
    bool has_name = false;
    double vertices = 0;
    double faces = 0;
    bool invalid_submaterial = false; // failed the sub-material id check
    std::string fatal_message;        // for Fatal: the message to show
};

// "Error in line L (object 'NAME') : " + tail, the form of every object log line.
std::string object_log_line(std::int64_t line_number, std::string_view name, std::string_view tail);
// "Error in line L : the quotes indicating the name of the object are missing"
std::string quotes_missing_log_line(std::int64_t line_number);

} // namespace trevanix
