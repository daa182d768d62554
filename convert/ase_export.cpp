#include "convert/ase_export.hpp"

#include <condition_variable>
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
#include "format/asc_lines.hpp"
#include "format/kolbrin_limits.hpp"
#include "convert/ase_face_lines.hpp"
#include "convert/line_assembler.hpp"
#include "convert/vertex_lines.hpp"

namespace trevanix {

namespace {

bool matches(std::string_view line, std::string_view keyword) noexcept { return starts_with_upper(line, keyword); }

// Reads lines until one matches the keyword; false at the end of the input.
bool read_until(LineCursor& in, std::string_view keyword)
{
    while (in.read()) {
        if (matches(in.line(), keyword))
            return true;
    }
    return false;
}

std::optional<std::int64_t> count_after(std::string_view line, std::string_view keyword) noexcept
{
    return asc::whole_count(number_value(line.substr(keyword.size())));
}

// Fields `first` to `first + count - 1` of a line cut at each TAB (field 0 is
// what precedes the first TAB). False when the line has fewer fields.
bool tab_fields(std::string_view line, std::size_t first, std::size_t count, std::string_view* out) noexcept
{
    const std::size_t last = first + count;
    std::size_t field = 0;
    std::size_t start = 0;
    // Each TAB ends a field; true once the last wanted one is ended.
    auto tab_at = [&](std::size_t i) {
        if (field >= first)
            out[field - first] = line.substr(start, i - start);
        start = i + 1;
        return ++field == last;
    };
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time: the TABs of a block as the bits of a mask.
    const __m128i tab = _mm_set1_epi8('\t');
    for (; i + 16 <= line.size(); i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + i));
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, tab))); mask != 0;
             mask &= mask - 1) {
            if (tab_at(i + static_cast<std::size_t>(__builtin_ctz(mask))))
                return true;
        }
    }
#endif
    for (; i < line.size(); ++i) {
        if (line[i] == '\t' && tab_at(i))
            return true;
    }
    // The end of the line ends the last field.
    return tab_at(line.size());
}

bool is_blank_or_tab(char c) noexcept { return c == ' ' || c == '\t'; }

// The values of a list line whose fields are not all TAB-separated: after the
// leading TABs, the keyword, the index and each value are the runs of text
// between blanks or TABs. `count` values after the index go to `out`; false
// when the line has fewer.
bool blank_fields(std::string_view line, std::size_t count, std::string_view* out) noexcept
{
    std::size_t i = 0;
    while (i < line.size() && line[i] == '\t')
        ++i;
    for (std::size_t run = 0; run < count + 2; ++run) {
        while (i < line.size() && is_blank_or_tab(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !is_blank_or_tab(line[i]))
            ++i;
        if (i == start)
            return false;
        if (run >= 2)
            out[run - 2] = line.substr(start, i - start);
    }
    return true;
}

// The values of a list line: its TAB fields 4 onwards where it has them, as
// the exporters write it; else its runs of text (see blank_fields).
bool list_values(std::string_view line, std::size_t count, std::string_view* out) noexcept
{
    return tab_fields(line, 4, count, out) || blank_fields(line, count, out);
}

} // namespace

std::string_view AseObjectExporter::line(const Span& span) const noexcept
{
    return std::string_view(arena_).substr(span.begin, span.size);
}

std::string_view AseObjectExporter::field(const Fields& fields, std::size_t k) const noexcept
{
    return std::string_view(arena_).substr(fields.begin[k], fields.size[k]);
}

bool AseObjectExporter::read_lines(ExportRun& run, std::int64_t count, std::vector<Span>& list)
{
    LineCursor& in = run.input;
    list.clear();
    for (std::int64_t i = 0; i < count; ++i) {
        if (!in.read())
            return false;
        const std::string_view text = in.line();
        run.note_copied_line();
        list.push_back(Span{arena_.size(), text.size(), true});
        arena_ += text;
    }
    return true;
}

bool AseObjectExporter::read_field_lines(ExportRun& run, std::int64_t count, std::size_t wanted,
                                         std::vector<Fields>& list, std::string_view keyword)
{
    LineCursor& in = run.input;
    list.clear();
    for (std::int64_t i = 0; i < count; ++i) {
        if (!in.read())
            return false;
        const std::string_view text = in.line();
        std::string_view values[3];
        Fields fields;
        // A line that fails its keyword test, or lacks a field, stays an empty
        // slot; an object whose faces use such a slot is left out. A cut line
        // that passes the keyword test counts as copied: the fields it would
        // be judged on may lie beyond the cut.
        const bool keyword_matches = keyword.empty() || matches(text, keyword);
        if (keyword_matches)
            run.note_copied_line();
        if (keyword_matches && list_values(text, wanted, values)) {
            fields.present = true;
            // Only the wanted fields are kept.
            const char* kept = values[0].data();
            const std::size_t base = arena_.size();
            arena_.append(kept, static_cast<std::size_t>(values[wanted - 1].data() + values[wanted - 1].size() - kept));
            for (std::size_t k = 0; k < wanted; ++k) {
                fields.begin[k] = base + static_cast<std::size_t>(values[k].data() - kept);
                fields.size[k] = values[k].size();
            }
        }
        list.push_back(fields);
    }
    return true;
}

AseObjectExporter::Outcome AseObjectExporter::place_corner(std::optional<std::int64_t> g, std::string_view texture,
                                                           bool mapped)
{
    if (!g || *g >= nv_)
        return LeftOutReason::VertexIndexOutOfRange;
    if (!verts_[static_cast<std::size_t>(*g)].present)
        return LeftOutReason::VertexLineUnreadable;
    std::int64_t at = *g;
    if (mapped) {
        const auto t = index_below(texture, ntv_);
        if (!t)
            return LeftOutReason::MappingVertexIndexOutOfRange;
        if (!tverts_[static_cast<std::size_t>(*t)].present)
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
        const std::string_view face = line(faces_[static_cast<std::size_t>(j)]);
        std::string_view texture_corners[3];
        if (mapped) {
            const Fields& t = tfaces_[static_cast<std::size_t>(j)];
            if (!t.present)
                return LeftOutReason::MappingFaceLineUnreadable;
            for (std::size_t k = 0; k < 3; ++k)
                texture_corners[k] = field(t, k);
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

// A value text without blanks, tabs or colons splits back out of a rebuilt
// vertex line exactly as it went in, so the flips can take it directly.
bool splits_back(std::string_view text) noexcept
{
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == ':')
            return false;
    }
    return true;
}

constexpr std::string_view filler_value = "0.000000";

// "Vertex " + i + the mapped or unmapped form of the values, flipped as
// asked, assembled in one buffer. False (nothing appended) when the line
// would not fit.
bool assemble_vertex_line(std::string& out, std::size_t i, std::string_view x, std::string_view y, std::string_view z,
                          std::string_view u, std::string_view v, bool mapped, bool axis_flip, bool texture_flip)
{
    LineAssembler line;
    if (!line.fits(7 + LineAssembler::decimal_room + 5 + 7 + 7 + 7 + 7 + 2 + 2 + x.size() + y.size() + z.size() +
                   u.size() + v.size()))
        return false;
    line.put(asc::vertex_line_start);
    line.put_decimal(static_cast<std::int64_t>(i));
    line.put(asc::vertex_x_label);
    line.put(x);
    line.put(asc::vertex_y_label);
    if (axis_flip) {
        line.put(z);
        line.put(asc::vertex_z_label);
        line.put_sign_toggled(y);
    } else {
        line.put(y);
        line.put(asc::vertex_z_label);
        line.put(z);
    }
    if (mapped) {
        line.put(asc::vertex_u_label);
        line.put(u);
        line.put(asc::vertex_v_label);
        if (texture_flip)
            line.put_sign_toggled(v);
        else
            line.put(v);
    }
    line.put(asc::line_end);
    line.append_to(out);
    return true;
}

} // namespace

AseObjectExporter::VertexSlot AseObjectExporter::slot_values(std::size_t slot, bool mapped) const noexcept
{
    const std::int64_t g = slot_sources_[slot];
    if (g < 0)
        return {};
    const Fields& position = verts_[static_cast<std::size_t>(g)];
    VertexSlot values{field(position, 0), field(position, 1), field(position, 2), {}, {}, true};
    if (mapped) {
        const Fields& texture = tverts_[slot];
        values.u = field(texture, 0);
        values.v = field(texture, 1);
    }
    return values;
}

bool AseObjectExporter::append_vertex_lines(const ExportOptions& options, bool mapped, std::string& block,
                                            std::string& clipboard_line)
{
    const bool texture_flip = options.texture_flip && mapped;
    const bool axis_flip = options.axis_flip;
    for (std::size_t i = 0; i < slot_sources_.size(); ++i) {
        const VertexSlot slot = slot_values(i, mapped);
        if (!axis_flip && !texture_flip) {
            const VertexSlot values = slot.set ? slot
                                               : VertexSlot{filler_value, filler_value, filler_value,
                                                            mapped ? filler_value : std::string_view(),
                                                            mapped ? filler_value : std::string_view(), true};
            if (assemble_vertex_line(block, i, values.x, values.y, values.z, values.u, values.v, mapped, false, false))
                continue;
        } else if (const bool last = i + 1 == slot_sources_.size(); slot.set && !(last && axis_flip)) {
            // Values that split back unchanged take the flips directly.
            const bool direct = splits_back(slot.x) && splits_back(slot.y) && splits_back(slot.z) &&
                                (!mapped || (splits_back(slot.u) && splits_back(slot.v)));
            if (direct && assemble_vertex_line(block, i, slot.x, slot.y, slot.z, slot.u, slot.v, mapped, axis_flip,
                                               texture_flip))
                continue;
        }
        asc::append_vertex_start(block, static_cast<std::int64_t>(i));
        if (!axis_flip && !texture_flip) {
            if (!slot.set)
                block += mapped ? asc::mapped_filler : asc::unmapped_filler;
            else if (mapped)
                append_mapped_form(block, slot.x, slot.y, slot.z, slot.u, slot.v);
            else
                append_unmapped_form(block, slot.x, slot.y, slot.z);
            block += asc::line_end;
            continue;
        }
        const bool last = i + 1 == slot_sources_.size();
        const VertexSlot values = slot.set ? slot
                                           : VertexSlot{filler_value, filler_value, filler_value,
                                                        mapped ? filler_value : std::string_view(),
                                                        mapped ? filler_value : std::string_view(), true};
        const bool direct = splits_back(values.x) && splits_back(values.y) && splits_back(values.z) &&
                            (!mapped || (splits_back(values.u) && splits_back(values.v)));
        if (direct && !(last && axis_flip)) {
            append_vertex_values(block, values.x, values.y, values.z, values.u, values.v, mapped, axis_flip,
                                 texture_flip);
            block += asc::line_end;
            continue;
        }
        scratch_.clear();
        if (!slot.set)
            scratch_ += mapped ? asc::mapped_filler : asc::unmapped_filler;
        else if (mapped)
            append_mapped_form(scratch_, slot.x, slot.y, slot.z, slot.u, slot.v);
        else
            append_unmapped_form(scratch_, slot.x, slot.y, slot.z);
        std::string* text = &scratch_;
        if (axis_flip) {
            if (last)
                clipboard_line = scratch_;
            flipped_.clear();
            if (!append_axis_flipped(flipped_, scratch_, mapped))
                return false;
            text = &flipped_;
        }
        if (texture_flip) {
            flipped_again_.clear();
            if (!append_texture_flipped(flipped_again_, *text))
                return false;
            text = &flipped_again_;
        }
        block += *text;
        block += asc::line_end;
    }
    return true;
}

AseObjectExporter::Outcome AseObjectExporter::read_counts(ExportRun& run)
{
    LineCursor& in = run.input;
    if (!in.read())
        return LeftOutReason::ObjectCutShort;
    const auto name = asc::quoted_name(in.line());
    if (!name)
        return LeftOutReason::NameNotQuoted;
    if (name->substr(0, 3) == "LOD")
        return LeftOutReason::LodName;
    run.note_copied_line();
    name_.assign(*name);

    if (!read_until(in, ase_keyword::vertex_count))
        return LeftOutReason::ObjectCutShort;
    const auto nv = count_after(in.line(), ase_keyword::vertex_count);
    if (!nv)
        return LeftOutReason::CountsUnusable;
    if (*nv == 0)
        return LeftOutReason::ZeroVertices;
    // A face count that does not follow the vertex count directly would leave
    // the object without a face count of its own.
    if (!in.read())
        return LeftOutReason::ObjectCutShort;
    if (!matches(in.line(), ase_keyword::face_count))
        return LeftOutReason::FaceCountLineMissing;
    const auto nf = count_after(in.line(), ase_keyword::face_count);
    if (!nf)
        return LeftOutReason::CountsUnusable;
    if (*nf == 0)
        return LeftOutReason::ZeroFaces;
    if (kolbrin::too_many_faces(*nf))
        return LeftOutReason::TooManyFaces;
    nv_ = *nv;
    nf_ = *nf;
    return std::nullopt;
}

AseObjectExporter::Outcome AseObjectExporter::read_lists(ExportRun& run)
{
    LineCursor& in = run.input;
    if (!in.read())
        return LeftOutReason::ObjectCutShort;
    if (!matches(in.line(), ase_keyword::vertex_list))
        return LeftOutReason::VertexListMissing;
    if (!read_field_lines(run, nv_, 3, verts_, {}) || !in.read() || !in.read())
        return LeftOutReason::ObjectCutShort;
    if (!matches(in.line(), ase_keyword::face_list))
        return LeftOutReason::FaceListMissing;
    if (!read_lines(run, nf_, faces_))
        return LeftOutReason::ObjectCutShort;
    return std::nullopt;
}

AseObjectExporter::Outcome AseObjectExporter::read_mapping_lists(ExportRun& run)
{
    LineCursor& in = run.input;
    if (!in.read() || !read_until(in, ase_keyword::mapping_vertex_count))
        return LeftOutReason::ObjectCutShort;
    const auto ntv = count_after(in.line(), ase_keyword::mapping_vertex_count);
    if (!ntv)
        return LeftOutReason::CountsUnusable;
    if (*ntv == 0)
        return LeftOutReason::ZeroMappingVertices;
    ntv_ = *ntv;
    if (!in.read() || !read_field_lines(run, ntv_, 2, tverts_, ase_keyword::mapping_vertex))
        return LeftOutReason::ObjectCutShort;

    if (!read_until(in, ase_keyword::mapping_face_count))
        return LeftOutReason::ObjectCutShort;
    const auto ntf = count_after(in.line(), ase_keyword::mapping_face_count);
    if (!ntf)
        return LeftOutReason::CountsUnusable;
    if (*ntf == 0)
        return LeftOutReason::ZeroMappingFaces;
    ntf_ = *ntf;
    if (!in.read() || !read_field_lines(run, ntf_, 3, tfaces_, ase_keyword::mapping_face))
        return LeftOutReason::ObjectCutShort;
    return std::nullopt;
}

AseObjectExporter::Outcome AseObjectExporter::read_material_reference(ExportRun& run)
{
    LineCursor& in = run.input;
    if (!read_until(in, ase_keyword::shadow_property) || !in.read())
        return LeftOutReason::ObjectCutShort;
    mapped_ = false;
    if (matches(in.line(), ase_keyword::material_ref) && run.has_materials) {
        const auto reference = to_int16(number_value(in.line().substr(ase_keyword::material_ref.size())));
        if (!reference)
            return LeftOutReason::UnknownMaterial;
        material_reference_ = *reference;
        mapped_ = true;
    }
    // The line after the material reference closes the object; the input may
    // end there.
    in.read();
    return std::nullopt;
}

void AseObjectExporter::read_object(ExportRun& run)
{
    run.cut_line = 0;
    cut_line_ = 0;
    start_line_ = run.input.number();
    arena_.clear();
    left_out_ = read_counts(run);
    if (!left_out_)
        left_out_ = read_lists(run);
    if (!left_out_)
        left_out_ = read_mapping_lists(run);
    if (!left_out_)
        left_out_ = read_material_reference(run);
    // The faces are written from the face list and joined to the texture faces
    // one by one: both lists must be equally long.
    if (!left_out_ && ntf_ != nf_)
        left_out_ = LeftOutReason::MappingFaceCountDiffers;
    if (!left_out_)
        cut_line_ = run.cut_line;
}

AseObjectExporter::Outcome AseObjectExporter::write_object(const ExportOptions& options,
                                                           const MaterialCatalogue& catalogue, std::string& block,
                                                           std::string& clipboard_line)
{
    const bool mapped = mapped_;
    slot_sources_.assign(static_cast<std::size_t>(mapped ? ntv_ : nv_), -1);
    if (const Outcome faces = face_pass(catalogue, mapped))
        return faces;

    asc::append_name_line(block, name_);
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
// while the loop reads the next object into the other of two exporters. One
// object is in flight at a time, so blocks are placed (and objects left out
// are told) in the order of the scene, and the loop waits when the writing
// falls behind.
class ObjectWriting {
public:
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

    // Waits until the object handed over before is placed, then takes this
    // one. False when the writing has ended the run (see end()).
    bool hand_over(AseObjectExporter& exporter)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return job_ == nullptr; });
        rethrow_failure();
        if (end_ != LoopEnd::Finished)
            return false;
        job_ = &exporter;
        lock.unlock();
        changed_.notify_all();
        return true;
    }
    // Waits until every object handed over is placed; Finished, or why the
    // writing ended the run.
    LoopEnd finish()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return job_ == nullptr; });
        rethrow_failure();
        return end_;
    }
    std::int64_t cut_line() const noexcept { return cut_line_; }
    // The last vertex line the axis flip saw; read after finish().
    std::string& clipboard_line() noexcept { return clipboard_line_; }

private:
    void work()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return job_ != nullptr || closing_; });
            if (job_ == nullptr)
                return;
            lock.unlock();
            LoopEnd end = LoopEnd::Finished;
            std::exception_ptr failure;
            try {
                end = write(*job_);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            end_ = end;
            failure_ = failure;
            job_ = nullptr;
            changed_.notify_all();
        }
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
    AseObjectExporter* job_ = nullptr;
    LoopEnd end_ = LoopEnd::Finished;
    std::exception_ptr failure_;
    bool closing_ = false;
    std::thread thread_;
};

} // namespace

LoopEnd run_ase_export(ExportRun& run)
{
    LineCursor& in = run.input;
    AseObjectExporter exporters[2];
    int reading = 0; // the exporter the next object is read into
    ObjectWriting writing(run);
    // Whether the current line starts an object. Kept as a flag because the
    // end-of-input test may move the reader's buffer under the current line.
    bool at_object = false;
    LoopEnd end = LoopEnd::Finished;
    for (;;) {
        if (!run.pace.keep_going())
            return LoopEnd::Stopped;
        if (at_object) {
            exporters[reading].read_object(run);
            if (!writing.hand_over(exporters[reading]))
                break;
            reading = 1 - reading;
            at_object = matches(in.line(), ase_keyword::object_start);
        }
        if (in.number() != 0)
            run.pace.progress(in.number());
        if (in.at_end())
            break;
        if (!at_object) {
            if (!in.read())
                break;
            at_object = matches(in.line(), ase_keyword::object_start);
        }
    }
    end = writing.finish();
    if (end == LoopEnd::LineTooLong)
        run.cut_line = writing.cut_line();
    run.clipboard_line = std::move(writing.clipboard_line());
    return end;
}

} // namespace trevanix
