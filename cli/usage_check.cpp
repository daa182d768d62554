#include "cli/usage_check.hpp"

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <system_error>

namespace trevanix::cli {

namespace {

// Letters inserted, deleted or changed, and two neighbours swapped, each
// counting one (the optimal string alignment distance).
std::size_t edit_distance(std::string_view a, std::string_view b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    std::iota(d[0].begin(), d[0].end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

bool contains(const std::vector<std::string>& words, std::string_view word)
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

std::string in_quotes(std::string_view word) { return "'" + std::string(word) + "'"; }

std::string did_you_mean(std::string_view word, const std::vector<std::string>& candidates)
{
    const std::string nearest = closest_word(word, candidates);
    return nearest.empty() ? std::string() : "; did you mean " + in_quotes(nearest) + "?";
}

const CommandWords* find_command(const std::vector<CommandWords>& commands, std::string_view name)
{
    for (const CommandWords& command : commands)
        if (command.name == name)
            return &command;
    return nullptr;
}

bool takes_option(const CommandWords& command, std::string_view option)
{
    return contains(command.flags, option) || contains(command.valued, option);
}

// Names as a sentence lists them ("analyze and convert", with `last` "and"),
// or as a usage line does ("analyze|convert", with `last` "|").
std::string listed(const std::vector<std::string>& names, std::string_view last)
{
    const std::string between = last == "|" ? "|" : ", ";
    const std::string before_last = last == "|" ? "|" : " " + std::string(last) + " ";
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? before_last : between) + names[i];
    return text;
}

std::vector<std::string> every_option(const std::vector<CommandWords>& commands,
                                      const std::vector<std::string>& program_options)
{
    std::vector<std::string> options = program_options;
    for (const CommandWords& command : commands)
        for (const auto* list : {&command.flags, &command.valued})
            for (const std::string& option : *list)
                if (!contains(options, option))
                    options.push_back(option);
    return options;
}

std::vector<std::string> command_names(const std::vector<CommandWords>& commands)
{
    std::vector<std::string> names;
    for (const CommandWords& command : commands)
        names.push_back(command.name);
    return names;
}

std::vector<std::string> commands_taking(const std::vector<CommandWords>& commands, std::string_view option)
{
    std::vector<std::string> names;
    for (const CommandWords& command : commands)
        if (takes_option(command, option))
            names.push_back(command.name);
    return names;
}

bool names_something_on_disk(const std::string& argument)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(argument, ec));
}

std::string dash_file_problem(const std::string& argument)
{
    return in_quotes(argument) + " begins with '-' and would be read as an option; name it ./" + argument +
           ", or put -- before the scenes";
}

std::string standard_input_problem()
{
    return "'-' is no scene: trevanix-cli reads scenes from files, never from standard input; a file named '-' "
           "is given as ./-";
}

std::string standard_output_problem(std::string_view option)
{
    return "'-' names no file for " + std::string(option) +
           ": trevanix-cli writes its files by name, never to standard output; a file named '-' is given as ./-";
}

// The words before the command: --help and --version, or a command missing.
std::string problem_before_command(const std::string& first, const std::vector<CommandWords>& commands,
                                   const std::vector<std::string>& program_options)
{
    const std::vector<std::string> names = command_names(commands);
    const auto command_first = [&](const std::vector<std::string>& owners, const std::string& option) {
        return "the command comes first: trevanix-cli " + listed(owners, "|") + " SCENE_OR_FOLDER... " + option;
    };
    if (first.size() > 1 && first[0] == '-') {
        const std::string option = first.substr(0, first.find('='));
        if (const auto owners = commands_taking(commands, option); !owners.empty())
            return command_first(owners, option);
        const std::string nearest = closest_word(option, every_option(commands, program_options));
        if (nearest.empty())
            return "unknown option " + in_quotes(option) + "; " + command_first(names, "[OPTIONS]");
        const auto owners = commands_taking(commands, nearest);
        return "unknown option " + in_quotes(option) + "; did you mean " + in_quotes(nearest) + "?" +
               (owners.empty() ? "" : " (" + command_first(owners, nearest) + ")");
    }
    if (names_something_on_disk(first))
        return in_quotes(first) + " is no command; the command comes first: trevanix-cli " + listed(names, "|") +
               " " + first;
    const std::string hint = did_you_mean(first, names);
    return "unknown command " + in_quotes(first) + (hint.empty() ? "; the commands are " + listed(names, "and") : hint);
}

std::string unknown_option_problem(const std::string& argument, const std::string& option,
                                   const CommandWords& command, const std::vector<CommandWords>& commands)
{
    if (names_something_on_disk(argument))
        return dash_file_problem(argument);
    if (const auto owners = commands_taking(commands, option); !owners.empty())
        return option + " is an option of " + listed(owners, "and") + ", not of " + command.name;
    std::vector<std::string> options = command.flags;
    options.insert(options.end(), command.valued.begin(), command.valued.end());
    options.push_back("--help");
    // "-json" most likely meant "--json".
    const bool single_dash = option.size() > 1 && option[1] != '-';
    std::string hint = did_you_mean(single_dash ? "-" + option : option, options);
    if (hint.empty() && single_dash)
        hint = " (a scene whose name begins with '-' is given as ./" + argument + ", or after --)";
    return "unknown option " + in_quotes(option) + " of " + command.name + hint;
}

// The words after the command: its options, their values and the scenes.
std::string problem_after_command(const std::vector<std::string>& arguments, const CommandWords& command,
                                  const std::vector<CommandWords>& commands,
                                  const std::vector<std::string>& program_options)
{
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") {
            for (std::size_t k = i + 1; k < arguments.size(); ++k)
                if (arguments[k] == "-")
                    return standard_input_problem();
            return {};
        }
        if (argument == "-")
            return standard_input_problem();
        if (argument.empty() || argument[0] != '-' || argument == "-h" || argument == "--help")
            continue;
        const std::size_t equals = argument.find('=');
        const std::string option = argument.substr(0, equals);
        if (contains(command.flags, option))
            continue;
        if (contains(program_options, option))
            return option + " is an option of trevanix-cli itself: trevanix-cli " + option;
        if (!contains(command.valued, option))
            return unknown_option_problem(argument, option, command, commands);
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            const std::string& next = arguments[i + 1];
            const std::string next_option = next.substr(0, next.find('='));
            const bool next_is_option = next == "--" || takes_option(command, next_option) ||
                                        contains(program_options, next_option);
            if (next_is_option)
                return option + " takes a value, and " + next + " is none";
            if (next.size() > 1 && next[0] == '-')
                return option + " takes a value; one that begins with '-' is given as " + option + "=" + next;
            value = arguments[++i];
        }
        if (value == "-" && contains(path_options, option))
            return standard_output_problem(option);
    }
    return {};
}

} // namespace

std::string closest_word(std::string_view word, const std::vector<std::string>& candidates)
{
    std::string nearest;
    std::size_t nearest_distance = std::string_view::npos;
    bool tie = false;
    for (const std::string& candidate : candidates) {
        const std::size_t distance = edit_distance(word, candidate);
        if (distance < nearest_distance) {
            nearest = candidate;
            nearest_distance = distance;
            tie = false;
        } else if (distance == nearest_distance && candidate != nearest) {
            tie = true;
        }
    }
    const std::size_t allowed = word.size() <= 4 ? 1 : 2;
    if (!tie && nearest_distance <= allowed)
        return nearest;
    // "--out" for "--out-dir": a beginning that only one candidate has.
    std::vector<std::string> continued;
    for (const std::string& candidate : candidates)
        if (word.size() >= 3 && candidate.size() > word.size() && candidate.compare(0, word.size(), word) == 0)
            continued.push_back(candidate);
    return continued.size() == 1 ? continued.front() : std::string();
}

std::string usage_problem(const std::vector<std::string>& arguments, const std::vector<CommandWords>& commands,
                          const std::vector<std::string>& program_options)
{
    if (arguments.empty())
        return "no command given: trevanix-cli " + listed(command_names(commands), "|") +
               " SCENE_OR_FOLDER... (see trevanix-cli --help)";
    const std::string& first = arguments.front();
    if (contains(program_options, first.substr(0, first.find('='))))
        return {};
    const CommandWords* command = find_command(commands, first);
    if (command == nullptr)
        return problem_before_command(first, commands, program_options);
    return problem_after_command(arguments, *command, commands, program_options);
}

} // namespace trevanix::cli
