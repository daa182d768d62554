#include "app/error_log_opening.hpp"

#include <string>

#include "state/messages.hpp"
#include "state/paths.hpp"

namespace trevanix {

namespace {

std::string log_missing_text(const std::string& path)
{
    return messages::log_not_opened_start + path + messages::log_missing_end;
}

std::string log_not_opened_text(const std::string& path, bool path_copied)
{
    return messages::log_not_opened_start + path + messages::log_not_opened_end +
           (path_copied ? messages::log_path_copied : messages::log_open_by_hand);
}

} // namespace

void open_error_log(Session& session)
{
    const std::string path = session.log.path().string();
    // A log deleted outside the program cannot be shown by any viewer; the
    // desktop would only fail later, out of sight.
    if (!file_exists(path)) {
        session.tell("Warning", log_missing_text(path), MessageIcon::Exclamation);
        return;
    }
    if (session.ui.open_document(path))
        return;
    const bool copied = session.ui.set_clipboard_text(path);
    session.tell("Warning", log_not_opened_text(path, copied), MessageIcon::Exclamation);
}

} // namespace trevanix
