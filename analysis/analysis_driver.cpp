#include "analysis/analysis_driver.hpp"

namespace trevanix {

void analyse_scene(Session& session)
{
    (void)session;
}

} // namespace trevanix
