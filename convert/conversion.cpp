#include "convert/conversion.hpp"

namespace trevanix {

void start_process(Session& session)
{
    (void)session;
}

} // namespace trevanix
