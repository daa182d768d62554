#pragma once
// Accounts for every object the analysis passed: the object loop tells which
// objects it wrote and which it left out (and why), in the order of the scene;
// this walks the analysis' list of passed objects beside them and reports
// each passed object that was not written, with its line and name. An object
// the loop never met (its first line read as part of the object before it)
// is reported too, so the written objects and the reported ones always add
// up to the objects that passed.
#include <cstdint>
#include <string_view>

#include "convert/left_out.hpp"
#include "state/passed_objects.hpp"
#include "state/spill_buffer.hpp"

namespace trevanix {

// Learns of each object that passed the analysis and was not written.
class LeftOutReport {
public:
    virtual ~LeftOutReport() = default;
    virtual void object_left_out(std::int64_t start_line, std::string_view name, LeftOutReason reason) = 0;
};

// The outcomes of an object loop, kept in order (in bounded memory) to be
// told later: a conversion that rides along the analysis meets its objects
// before the analysis has passed them all.
class OutcomeRecord : public ObjectOutcomes {
public:
    void object_written(std::int64_t start_line) override { add(start_line, 0); }
    void object_left_out(std::int64_t start_line, LeftOutReason reason) override
    {
        add(start_line, static_cast<unsigned>(reason) + 1);
    }
    // Tells `to` every outcome, in the order they came.
    void replay(ObjectOutcomes& to) const;

private:
    void add(std::int64_t start_line, unsigned code);

    SpillBuffer bytes_;
};

class LeftOutAccounting : public ObjectOutcomes {
public:
    LeftOutAccounting(const PassedObjects& passed, LeftOutReport& report);

    void object_written(std::int64_t start_line) override;
    void object_left_out(std::int64_t start_line, LeftOutReason reason) override;
    // The loop has ended: the passed objects it never met are reported.
    void finish();

private:
    // Reports the passed objects before `line` as never met; true when the
    // next passed object starts at `line`.
    bool reach(std::int64_t line);
    void advance();

    PassedObjects::Reader reader_;
    PassedObjects::Entry next_;
    bool has_next_ = false;
    LeftOutReport& report_;
};

} // namespace trevanix
