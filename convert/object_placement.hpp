#pragma once
// Placement of finished object blocks into the output files: everything into
// one file, or 255 objects per numbered split file.
//
// Each file is opened when its first object arrives. A full split file
// beyond the first few is finished, flushed, given its private name and
// closed at once (see OutputFile::stage), so that a scene of thousands of
// split files never holds more than a few of them open.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/export_run.hpp"
#include "convert/output_file.hpp"

namespace trevanix {

// "D:/work/city.asc" and 10 give "D:/work/city_010.asc": the target without
// its last four characters, "_0", the number, ".asc".
std::string split_file_name(const std::string& target, std::int64_t number);

class ObjectPlacement : public BlockSink {
public:
    // The split files kept open until the set is committed; later ones are
    // closed as soon as they are full.
    static constexpr std::size_t files_kept_open = 16;

    // `files` receives the files as they are opened, in order; `folder`
    // holds `target` and outlives them. With `split` the objects go to
    // numbered split files of `target`. `input` is the scene being read,
    // which no output may replace.
    ObjectPlacement(const TargetFolder& folder, std::vector<OutputFile>& files, bool split, std::string target,
                    std::string input)
        : folder_(folder), files_(files), split_(split), target_(std::move(target)), input_(std::move(input))
    {
    }

    bool place_block(std::string_view block) override;
    // The objects were placed as split files before the number of files the
    // scene needs was known: when it needs one, that file is the target.
    void settle_split(bool split);
    // Creates, empty, the files up to `count` that no object reached: the
    // later split files the analysis foresaw. False with error() on failure.
    bool create_remaining(std::size_t count);

    std::int64_t objects_placed() const noexcept { return objects_placed_; }
    // The split file (1-based) the next object goes to.
    std::int64_t current_split_file() const noexcept { return current_split_file_; }
    // Why the last placement failed: a sentence for the user.
    const std::string& error() const noexcept { return error_; }
    // The failure was a split file that would have replaced the input.
    bool refused_input() const noexcept { return refused_input_; }

private:
    bool open_next_file();
    bool file_full(OutputFile& file);
    bool failed(const OutputFile& file);

    const TargetFolder& folder_;
    std::vector<OutputFile>& files_;
    bool split_;
    std::string target_;
    std::string input_;
    std::int64_t objects_placed_ = 0;
    std::int64_t current_split_file_ = 1;
    std::string error_;
    bool refused_input_ = false;
};

} // namespace trevanix
