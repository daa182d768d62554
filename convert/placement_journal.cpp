#include "convert/placement_journal.hpp"

#include <cerrno>
#include <charconv>

#include "convert/material_file.hpp"
#include "convert/output_file.hpp"
#include "format/text.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

constexpr std::string_view journal_suffix = ".trevanix-journal";
constexpr std::string_view journal_heading = "trevanix placement journal 1\r\n";
constexpr std::string_view temporary_mark = ".trevanix-";
constexpr std::string_view temporary_end = ".tmp";

bool all_digits(std::string_view text)
{
    if (text.empty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// A name the journal may hold: one entry of the folder, nothing that leads
// out of it.
bool plain_name(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

void append_name(std::string& text, std::string_view name)
{
    append_decimal(text, static_cast<std::int64_t>(name.size()));
    text += ':';
    text += name;
}

// Reads the journal's text from its start.
class JournalCursor {
public:
    explicit JournalCursor(std::string_view text) : rest_(text) {}

    bool at_end() const noexcept { return rest_.empty(); }
    bool literal(std::string_view expected)
    {
        if (!rest_.starts_with(expected))
            return false;
        rest_.remove_prefix(expected.size());
        return true;
    }
    bool number(std::uint64_t& value)
    {
        const auto [end, code] = std::from_chars(rest_.data(), rest_.data() + rest_.size(), value);
        if (code != std::errc() || end == rest_.data())
            return false;
        rest_.remove_prefix(static_cast<std::size_t>(end - rest_.data()));
        return true;
    }
    bool name(std::string& out)
    {
        std::uint64_t length = 0;
        if (!number(length) || !literal(":") || length > rest_.size())
            return false;
        out.assign(rest_.substr(0, static_cast<std::size_t>(length)));
        rest_.remove_prefix(static_cast<std::size_t>(length));
        return plain_name(out);
    }

private:
    std::string_view rest_;
};

} // namespace

std::string journal_name_for(std::string_view target_name)
{
    return std::string(target_name) + std::string(journal_suffix);
}

std::string journal_text(const std::vector<PlacementEntry>& entries)
{
    std::string text(journal_heading);
    for (const PlacementEntry& entry : entries) {
        text += std::to_string(entry.inode);
        text += ' ';
        append_name(text, entry.staged);
        text += ' ';
        append_name(text, entry.target);
        text += "\r\n";
    }
    return text;
}

bool read_journal_text(std::string_view text, std::vector<PlacementEntry>& entries)
{
    entries.clear();
    JournalCursor cursor(text);
    if (!cursor.literal(journal_heading))
        return false;
    while (!cursor.at_end()) {
        PlacementEntry entry;
        if (!cursor.number(entry.inode) || !cursor.literal(" ") || !cursor.name(entry.staged) ||
            !cursor.literal(" ") || !cursor.name(entry.target) || !cursor.literal("\r\n"))
            return false;
        entries.push_back(std::move(entry));
    }
    return true;
}

bool is_output_name_of(std::string_view name, std::string_view target_name)
{
    const std::string target(target_name);
    if (name == target || name == material_path_for(target))
        return true;
    // The split files: the target without its last four characters, "_0",
    // the number, ".asc".
    const std::string split_start = target.substr(0, target.size() >= 4 ? target.size() - 4 : 0) + "_0";
    constexpr std::string_view split_end = ".asc";
    if (name.size() < split_start.size() + split_end.size() || !name.starts_with(split_start) ||
        !name.ends_with(split_end))
        return false;
    return all_digits(name.substr(split_start.size(), name.size() - split_start.size() - split_end.size()));
}

bool is_temporary_of(std::string_view name, std::string_view target_name, long& pid)
{
    if (!name.ends_with(temporary_end))
        return false;
    const std::size_t mark = name.rfind(temporary_mark);
    if (mark == std::string_view::npos)
        return false;
    const std::string_view owner = name.substr(0, mark);
    const std::string_view numbers =
        name.substr(mark + temporary_mark.size(), name.size() - mark - temporary_mark.size() - temporary_end.size());
    const std::size_t dash = numbers.find('-');
    if (dash == std::string_view::npos || !all_digits(numbers.substr(0, dash)) || !all_digits(numbers.substr(dash + 1)))
        return false;
    if (!is_output_name_of(owner, target_name) && owner != journal_name_for(target_name))
        return false;
    const auto [end, code] = std::from_chars(numbers.data(), numbers.data() + dash, pid);
    return code == std::errc() && end == numbers.data() + dash;
}

PlacementJournal::PlacementJournal(const TargetFolder& folder, const std::string& target)
    : folder_(folder), target_name_(file_name_of(target)), name_(journal_name_for(target_name_)),
      path_(target + std::string(journal_suffix))
{
}

bool PlacementJournal::write(const std::vector<PlacementEntry>& entries, std::string& error)
{
    const std::string& path = path_;
    if (const int code = injected_fault(OutputStep::Journal, path)) {
        error = write_error_text(path, code);
        return false;
    }
    OutputFile file;
    if (!file.open(folder_, path) || !file.write(journal_text(entries)) || !file.place()) {
        error = file.error();
        return false;
    }
    // The journal must be on the disk before any target changes.
    if (!folder_.sync()) {
        error = write_error_text(path, errno);
        return false; // `file` goes, and the journal with it
    }
    file.settle();
    return true;
}

void PlacementJournal::remove() noexcept
{
    (void)injected_fault(OutputStep::Journal, path_);
    (void)folder_.remove(name_);
}

} // namespace trevanix
