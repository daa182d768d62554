#pragma once
// Gathers what a conversion tells of the objects it left out into the
// session's conversion report (their count and the first of them) and passes
// each on to the session's listener. The conversion may tell it from a thread
// of its own; nothing else touches the report meanwhile.
#include "convert/left_out_accounting.hpp"
#include "state/session.hpp"

namespace trevanix {

class LeftOutCollector : public LeftOutReport {
public:
    explicit LeftOutCollector(Session& session) : session_(session) {}
    void object_left_out(std::int64_t start_line, std::string_view name, LeftOutReason reason) override;

private:
    Session& session_;
};

} // namespace trevanix
