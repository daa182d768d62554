#pragma once
// The object loop for ".asc" input: each object is copied again, without its
// mapping, material and smoothing lines, with the axis flip on request.
#include <memory>
#include <optional>
#include <string>

#include "convert/export_run.hpp"

namespace trevanix {

// The object loop over `run`, taken a step at a time.
std::unique_ptr<ExportLoop> asc_reexport_loop(ExportRun& run);

// Copies the object whose object-name line is current into `block`. Gives
// the reason, with `block` incomplete, when the object is left out; the line
// current on return is the one the scan goes on with.
std::optional<LeftOutReason> copy_asc_object(ExportRun& run, std::string& block);

} // namespace trevanix
