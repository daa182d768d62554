#pragma once
// The mistakes of a command line that the argument parser would only report
// in its own terms ("A subcommand is required" for a mistyped command), told
// in words that say what to type instead: a mistyped command or option with
// the nearest one, an option of the other command, a scene whose name begins
// with "-", and "-" where a file is meant (the program reads no scene from
// standard input and writes no output to standard output).
#include <string>
#include <string_view>
#include <vector>

namespace trevanix::cli {

// The long options of one command, as the parser knows them.
struct CommandWords {
    std::string name;                // "analyze"
    std::vector<std::string> flags;  // options without a value: "--json"
    std::vector<std::string> valued; // options that take a value: "--log"
};

// Options whose value names a file or a folder, where "-" is refused.
inline const std::vector<std::string> path_options = {"--log", "--log-dir", "--target", "--out-dir"};

// Why `arguments` (the command line without the program's name) cannot mean
// what the user wants, as one sentence; "" when the parser may take them.
// `program_options` are those given before any command ("--help").
std::string usage_problem(const std::vector<std::string>& arguments, const std::vector<CommandWords>& commands,
                          const std::vector<std::string>& program_options);

// The word of `candidates` a mistyped `word` most likely meant: the one a
// letter or two away (a letter missing, added, changed, or two swapped), or
// the only one `word` begins. "" when none is that close.
std::string closest_word(std::string_view word, const std::vector<std::string>& candidates);

} // namespace trevanix::cli
