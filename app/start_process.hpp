#pragma once
// The action behind the Start Process button, also run right after an
// express analysis: the questions, progress and messages around the
// conversion.
#include <memory>

#include "convert/riding_conversion.hpp"
#include "state/session.hpp"

namespace trevanix {

// What a conversion is started with.
struct ProcessRequest {
    // The conversion follows an express analysis: it ends with the express
    // notice, unless a question about the material file came up.
    bool express_run = false;
    // Outputs written beside the analysis' reading; taken when they are
    // those this conversion writes, else let go (with their claim on the
    // target) and the scene is read again.
    std::unique_ptr<RidingConversion> prepared;
};

void start_process(Session& session, ProcessRequest request = {});

} // namespace trevanix
