#pragma once
// The current line of a checking pass and its 1-based number in the file.
// Every log line quotes the number of the line most recently read.
#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/line_source.hpp"

namespace trevanix {

class SceneCursor {
public:
    explicit SceneCursor(LineSource& source) : source_(source) {}

    // Reads the next line; false (and an empty current line) at the end of the file.
    bool read()
    {
        if (!source_.next(line_)) {
            line_ = {};
            return false;
        }
        ++number_;
        return true;
    }

    std::string_view line() const noexcept { return line_; }
    std::int64_t number() const noexcept { return number_; }
    bool at_end() { return source_.at_end(); }

private:
    LineSource& source_;
    std::string_view line_;
    std::int64_t number_ = 0;
};

// How the examination of one line of a checking pass ended.
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

} // namespace trevanix
