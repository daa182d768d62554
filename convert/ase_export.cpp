#include "convert/ase_export.hpp"

#include <condition_variable>
#include <deque>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "format/text.hpp"
#include "format/ase_keywords.hpp"
#include "format/ase_object_reader.hpp"
#include "format/asc_lines.hpp"
#include "format/kolbrin_limits.hpp"
#include "convert/ase_face_lines.hpp"
#include "convert/vertex_lines.hpp"

namespace trevanix {

namespace {

bool matches(std::string_view line, std::string_view keyword) noexcept { return starts_with_upper(line, keyword); }

} // namespace

AseObjectExporter::Outcome AseObjectExporter::place_corner(std::optional<std::int64_t> g, std::string_view texture,
                                                           bool mapped)
{
    if (!g || *g >= nv_)
        return LeftOutReason::VertexIndexOutOfRange;
    if (!object_.vertex_values[static_cast<std::size_t>(*g)].present)
        return LeftOutReason::VertexLineUnreadable;
    std::int64_t at = *g;
    if (mapped) {
        const auto t = index_below(texture, ntv_);
        if (!t)
            return LeftOutReason::MappingVertexIndexOutOfRange;
        if (!object_.mapping_vertex_values[static_cast<std::size_t>(*t)].present)
            return LeftOutReason::MappingVertexLineUnreadable;
        at = *t;
    }
    slot_sources_[static_cast<std::size_t>(at)] = *g;
    return std::nullopt;
}

std::string_view AseObjectExporter::material_of(const MaterialCatalogue& catalogue, std::int16_t submaterial)
{
    // Faces mostly share their sub-material: look the cell up once per change.
    if (submaterial != cached_mtlid_) {
        const std::string& cell = catalogue.cell(material_reference_, submaterial);
        const std::size_t separator = cell.find(asc::cell_separator);
        // A sub-material the material list counts but never defines has no
        // cell: its faces are written as those of the empty material, as the
        // analysis passes them.
        cached_material_ = separator == std::string::npos ? std::string_view() : std::string_view(cell).substr(0, separator);
        if (cached_material_ == asc::empty_material)
            cached_material_ = {};
        cached_mtlid_ = submaterial;
    }
    return cached_material_;
}

AseObjectExporter::Outcome AseObjectExporter::face_pass(const MaterialCatalogue& catalogue, bool mapped)
{
    const int submaterials = mapped ? catalogue.submaterial_count(material_reference_) : 0;
    if (mapped && submaterials < 0)
        return LeftOutReason::UnknownMaterial;
    face_text_.clear();
    // No 16-bit id (not even a negative one) matches: the first face looks its cell up.
    cached_mtlid_ = 1 << 16;
    for (std::int64_t j = 0; j < ntf_; ++j) {
        const std::string_view face = object_.line(object_.face_lines[static_cast<std::size_t>(j)]);
        std::string_view texture_corners[3];
        if (mapped) {
            const AseListValues& t = object_.mapping_face_values[static_cast<std::size_t>(j)];
            if (!t.present)
                return LeftOutReason::MappingFaceLineUnreadable;
            for (std::size_t k = 0; k < 3; ++k)
                texture_corners[k] = object_.value(t, k);
        }
        FaceReading r;
        if (!read_face_line(face, r))
            return LeftOutReason::FaceLineUnreadable;
        if (mapped && r.submaterial > 0 && r.submaterial >= submaterials)
            return LeftOutReason::InvalidSubmaterialId;
        for (int k = 0; k < 3; ++k) {
            const auto g = r.canonical ? std::optional<std::int64_t>(r.corner_values[k]) : index_below(r.corners[k], nv_);
            if (const Outcome placed = place_corner(g, texture_corners[k], mapped))
                return placed;
        }
        const std::string_view material = mapped ? material_of(catalogue, r.submaterial) : std::string_view();
        append_face_lines(face_text_, j, r, mapped ? texture_corners : nullptr, material);
    }
    return std::nullopt;
}

namespace {

// A value text without blanks, tabs or colons splits back out of a written
// vertex line exactly as it went in, so the flips can take it directly.
bool splits_back(std::string_view text) noexcept
{
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == ':')
            return false;
    }
    return true;
}

bool all_split_back(const VertexValues& values) noexcept
{
    return splits_back(values.x) && splits_back(values.y) && splits_back(values.z) &&
           (!values.mapped || (splits_back(values.u) && splits_back(values.v)));
}

constexpr std::string_view filler_value = "0.000000";

} // namespace

VertexValues AseObjectExporter::slot_values(std::size_t slot, bool mapped) const noexcept
{
    const std::int64_t g = slot_sources_[slot];
    if (g < 0) {
        // A slot no face reaches.
        const std::string_view uv = mapped ? filler_value : std::string_view();
        return {filler_value, filler_value, filler_value, uv, uv, mapped};
    }
    const AseListValues& position = object_.vertex_values[static_cast<std::size_t>(g)];
    VertexValues values{object_.value(position, 0), object_.value(position, 1), object_.value(position, 2), {}, {},
                        mapped};
    if (mapped) {
        const AseListValues& texture = object_.mapping_vertex_values[slot];
        values.u = object_.value(texture, 0);
        values.v = object_.value(texture, 1);
    }
    return values;
}

bool AseObjectExporter::append_vertex_lines(const ExportOptions& options, bool mapped, std::string& block,
                                            std::string& clipboard_line)
{
    const VertexFlips flips{options.axis_flip, options.texture_flip && mapped};
    const std::size_t count = slot_sources_.size();
    for (std::size_t i = 0; i < count; ++i) {
        const VertexValues values = slot_values(i, mapped);
        const bool last = i + 1 == count;
        const auto index = static_cast<std::int64_t>(i);
        if (!flips.any() || (all_split_back(values) && !(last && flips.axis)))
            write_vertex_line(block, index, values, flips);
        else if (!write_resplit_vertex_line(block, index, values, flips, last ? &clipboard_line : nullptr))
            return false;
    }
    return true;
}

// The flips of values that would not split back out of the written line as
// they stand (a blank, TAB or colon in a text), and of an object's last line
// under the axis flip, whose unflipped text goes to the clipboard: the
// unflipped line is built, and each flip takes its values from the line
// before it by the split, as it takes them from 3D Studio's own lines.
bool AseObjectExporter::write_resplit_vertex_line(std::string& block, std::int64_t index, const VertexValues& values,
                                                  VertexFlips flips, std::string* clipboard_line)
{
    scratch_.clear();
    append_vertex_tail(scratch_, values, {});
    std::string_view line = scratch_;
    VertexValues found;
    if (flips.axis) {
        if (clipboard_line != nullptr)
            *clipboard_line = scratch_;
        if (!split_vertex_values(line, values.mapped, found))
            return false;
        if (!flips.texture) {
            write_vertex_line(block, index, found, {.axis = true});
            return true;
        }
        flipped_.clear();
        append_vertex_tail(flipped_, found, {.axis = true});
        line = flipped_;
    }
    if (!split_vertex_values(line, true, found))
        return false;
    write_vertex_line(block, index, found, {.texture = true});
    return true;
}

namespace {

// Why the conversion leaves out an object whose reading stopped.
LeftOutReason left_out_reason(AseStop stop) noexcept
{
    switch (stop) {
    case AseStop::NameNotQuoted: return LeftOutReason::NameNotQuoted;
    case AseStop::LodName: return LeftOutReason::LodName;
    case AseStop::CountsUnusable: return LeftOutReason::CountsUnusable;
    case AseStop::ZeroVertices: return LeftOutReason::ZeroVertices;
    case AseStop::ZeroFaces: return LeftOutReason::ZeroFaces;
    case AseStop::TooManyFaces: return LeftOutReason::TooManyFaces;
    case AseStop::FaceCountLineMissing: return LeftOutReason::FaceCountLineMissing;
    case AseStop::VertexListMissing: return LeftOutReason::VertexListMissing;
    case AseStop::FaceListMissing: return LeftOutReason::FaceListMissing;
    case AseStop::ZeroMappingVertices: return LeftOutReason::ZeroMappingVertices;
    case AseStop::ZeroMappingFaces: return LeftOutReason::ZeroMappingFaces;
    case AseStop::UnknownMaterial: return LeftOutReason::UnknownMaterial;
    case AseStop::MappingFaceCountDiffers: return LeftOutReason::MappingFaceCountDiffers;
    default: return LeftOutReason::ObjectCutShort;
    }
}

} // namespace

void AseObjectExporter::read_object(ExportRun& run)
{
    reader_.read(run.input, object_);
    left_out_.reset();
    if (object_.stop != AseStop::None)
        left_out_ = left_out_reason(object_.stop);
    nv_ = static_cast<std::int64_t>(object_.vertices);
    nf_ = static_cast<std::int64_t>(object_.faces);
    ntv_ = static_cast<std::int64_t>(object_.mapping_vertices);
    ntf_ = static_cast<std::int64_t>(object_.mapping_faces);
    mapped_ = object_.has_material_reference;
    if (mapped_ && !left_out_)
        material_reference_ = *to_int16(object_.material_number);
}

std::size_t AseObjectExporter::held_bytes() const noexcept
{
    return object_.arena.size() + object_.face_lines.size() * sizeof(AseLineSpan) +
           (object_.vertex_values.size() + object_.mapping_vertex_values.size() +
            object_.mapping_face_values.size()) *
               sizeof(AseListValues);
}

void AseObjectExporter::release_if_large() noexcept
{
    constexpr std::size_t large = std::size_t{4} << 20;
    const std::size_t room = object_.arena.capacity() + face_text_.capacity() +
                             slot_sources_.capacity() * sizeof(std::int64_t) +
                             object_.face_lines.capacity() * sizeof(AseLineSpan) +
                             (object_.vertex_values.capacity() + object_.mapping_vertex_values.capacity() +
                              object_.mapping_face_values.capacity()) *
                                 sizeof(AseListValues);
    if (room <= large)
        return;
    object_.arena = std::string();
    object_.face_lines = {};
    object_.vertex_values = {};
    object_.mapping_vertex_values = {};
    object_.mapping_face_values = {};
    object_.submaterial_ids = {};
    face_text_ = std::string();
    slot_sources_ = {};
}

AseObjectExporter::Outcome AseObjectExporter::write_object(const ExportOptions& options,
                                                           const MaterialCatalogue& catalogue, std::string& block,
                                                           std::string& clipboard_line)
{
    const bool mapped = mapped_;
    slot_sources_.assign(static_cast<std::size_t>(mapped ? ntv_ : nv_), -1);
    if (const Outcome faces = face_pass(catalogue, mapped))
        return faces;

    asc::append_name_line(block, object_.name);
    asc::append_counts_line(block, mapped ? ntv_ : nv_, mapped ? ntf_ : nf_);
    asc::append_line(block, asc::mapped_line);
    asc::append_line(block, asc::vertex_list_line);
    if (!append_vertex_lines(options, mapped, block, clipboard_line))
        return LeftOutReason::VertexValuesUnreadable;
    asc::append_line(block, asc::face_list_line);
    block += face_text_;
    block += asc::line_end;
    return std::nullopt;
}

namespace {

// Writes read objects into blocks and places them, on a thread of its own,
// while the loop reads the next objects into other exporters. Objects are
// written in the order they were handed over, so blocks are placed (and
// objects left out are told) in the order of the scene. A few objects may
// wait their turn, so that neither side stalls on the other's slower
// objects; the loop waits when the writing falls further behind.
class ObjectWriting {
public:
    // Objects handed over and not yet placed, at most, and the memory they
    // hold (one larger object is handed over alone).
    static constexpr std::size_t most_in_flight = 8;
    static constexpr std::size_t most_bytes_in_flight = std::size_t{16} << 20;

    explicit ObjectWriting(ExportRun& run)
        : options_(run.options), catalogue_(run.catalogue), sink_(run.sink), outcomes_(run.outcomes),
          thread_([this] { work(); })
    {
    }
    ~ObjectWriting()
    {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ObjectWriting(const ObjectWriting&) = delete;
    ObjectWriting& operator=(const ObjectWriting&) = delete;

    // Waits for room among the objects in flight, then takes this one. False
    // when the writing has ended the run (see finish()).
    bool hand_over(AseObjectExporter& exporter)
    {
        std::unique_lock lock(mutex_);
        // Once full, the loop waits until half of the room is free again: it
        // sleeps less often, and for longer.
        if (in_flight_.size() >= most_in_flight || held_bytes_ > most_bytes_in_flight)
            changed_.wait(lock, [this] {
                return (in_flight_.size() <= most_in_flight / 2 && held_bytes_ <= most_bytes_in_flight / 2) ||
                       stopped_writing();
            });
        rethrow_failure();
        if (end_ != LoopEnd::Finished)
            return false;
        in_flight_.push_back({&exporter, exporter.held_bytes()});
        held_bytes_ += in_flight_.back().bytes;
        lock.unlock();
        changed_.notify_all();
        return true;
    }
    // Waits until every object handed over is placed; Finished, or why the
    // writing ended the run.
    LoopEnd finish()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return in_flight_.empty(); });
        rethrow_failure();
        return end_;
    }
    std::int64_t cut_line() const noexcept { return cut_line_; }
    // The last vertex line the axis flip saw; read after finish().
    std::string& clipboard_line() noexcept { return clipboard_line_; }

private:
    bool stopped_writing() const noexcept { return end_ != LoopEnd::Finished || failed_; }

    void work()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return !in_flight_.empty() || closing_; });
            if (in_flight_.empty())
                return;
            const Job job = in_flight_.front();
            // Once the writing has ended the run, or the loop is given up,
            // the objects after it are neither written nor told.
            if (!stopped_writing() && !closing_) {
                lock.unlock();
                write_one(*job.exporter);
                job.exporter->release_if_large();
                lock.lock();
            }
            held_bytes_ -= job.bytes;
            in_flight_.pop_front();
            changed_.notify_all();
        }
    }
    void write_one(AseObjectExporter& job)
    {
        LoopEnd end = LoopEnd::Finished;
        std::exception_ptr failure;
        try {
            end = write(job);
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(mutex_);
        end_ = end;
        failure_ = failure;
        failed_ = failure != nullptr;
    }
    // Writes and places one object, or tells why it is left out.
    LoopEnd write(AseObjectExporter& job)
    {
        AseObjectExporter::Outcome left_out = job.left_out();
        // An object holding a line cut short is refused, not written: what it
        // would be judged on may lie beyond the cut.
        if (!left_out && job.cut_line() != 0) {
            cut_line_ = job.cut_line();
            return LoopEnd::LineTooLong;
        }
        block_.clear();
        if (!left_out)
            left_out = job.write_object(options_, catalogue_, block_, clipboard_line_);
        if (left_out) {
            if (outcomes_ != nullptr)
                outcomes_->object_left_out(job.start_line(), *left_out);
            return LoopEnd::Finished;
        }
        if (!sink_.place_block(block_))
            return LoopEnd::WriteFailed;
        if (outcomes_ != nullptr)
            outcomes_->object_written(job.start_line());
        return LoopEnd::Finished;
    }

    void rethrow_failure()
    {
        if (failure_)
            std::rethrow_exception(std::exchange(failure_, nullptr));
    }

    const ExportOptions options_;
    const MaterialCatalogue& catalogue_;
    BlockSink& sink_;
    ObjectOutcomes* outcomes_;
    std::string block_;
    std::string clipboard_line_;
    std::int64_t cut_line_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    struct Job {
        AseObjectExporter* exporter;
        std::size_t bytes; // what it held when handed over
    };
    std::deque<Job> in_flight_; // the first is being written
    std::size_t held_bytes_ = 0;
    LoopEnd end_ = LoopEnd::Finished;
    std::exception_ptr failure_;
    bool failed_ = false; // a write threw: nothing after it is written
    bool closing_ = false;
    std::thread thread_;
};

} // namespace

namespace {

// The ".ase" object loop, a line or an object a step. Objects are read into
// one exporter while the writing holds the others: an exporter is read into
// again once the objects handed over after it leave no room for it in
// flight.
class AseExportLoop : public ExportLoop {
public:
    explicit AseExportLoop(ExportRun& run)
        : run_(run), exporters_(ObjectWriting::most_in_flight + 1, AseObjectExporter(run.has_materials)),
          writing_(run)
    {
    }

    bool step() override
    {
        if (!run_.pace.keep_going()) {
            stopped_ = true;
            return false;
        }
        LineCursor& in = run_.input;
        if (at_object_ && !read_and_hand_over())
            return false;
        if (in.number() != 0)
            run_.pace.progress(in.number());
        if (in.at_end())
            return false;
        if (!at_object_) {
            if (!in.read())
                return false;
            at_object_ = matches(in.line(), ase_keyword::object_start);
        }
        return true;
    }

    LoopEnd finish() override
    {
        if (stopped_)
            return LoopEnd::Stopped;
        const LoopEnd end = writing_.finish();
        if (end == LoopEnd::LineTooLong)
            run_.cut_line = writing_.cut_line();
        run_.clipboard_line = std::move(writing_.clipboard_line());
        return end;
    }

private:
    bool read_and_hand_over()
    {
        exporters_[reading_].read_object(run_);
        if (!writing_.hand_over(exporters_[reading_]))
            return false;
        reading_ = (reading_ + 1) % exporters_.size();
        at_object_ = matches(run_.input.line(), ase_keyword::object_start);
        return true;
    }

    ExportRun& run_;
    std::vector<AseObjectExporter> exporters_;
    std::size_t reading_ = 0; // the exporter the next object is read into
    ObjectWriting writing_;
    // Whether the current line starts an object. Kept as a flag because the
    // end-of-input test may move the reader's buffer under the current line.
    bool at_object_ = false;
    bool stopped_ = false;
};

} // namespace

std::unique_ptr<ExportLoop> ase_export_loop(ExportRun& run) { return std::make_unique<AseExportLoop>(run); }

} // namespace trevanix
