#include "app/notices.hpp"

#include "analysis/texture_short_names.hpp"
#include "format/text.hpp"

namespace trevanix {

void add_remainder(std::vector<std::string>& details, std::int64_t total)
{
    const auto listed = static_cast<std::int64_t>(details.size());
    if (total > listed)
        details.push_back("and " + format_number(total - listed) + " more.");
}

Message left_out_notice(const ConversionReport& report, std::int64_t passed)
{
    Message notice;
    notice.caption = "Warning";
    notice.icon = MessageIcon::Exclamation;
    notice.explains_outcome = true;
    notice.text = std::string(left_out_notice_start) + ": " + format_number(report.objects_left_out) + " of " +
                  format_number(passed) + ".";
    for (const LeftOutObject& object : report.first_left_out) {
        if (notice.details.size() == listed_details)
            break;
        notice.details.push_back("line " + format_number(object.line) + ", '" + printable_text(object.object) +
                                 "': " + object.reason_text + " (" + object.reason + ")");
    }
    add_remainder(notice.details, report.objects_left_out);
    return notice;
}

Message unrenamed_pictures_notice(const std::vector<UnrenamedPicture>& pictures)
{
    Message notice;
    notice.caption = "Warning";
    notice.icon = MessageIcon::Exclamation;
    notice.text = "Some pictures of shortened texture names were not renamed to their short names:";
    for (const UnrenamedPicture& picture : pictures) {
        if (notice.details.size() == listed_details)
            break;
        notice.details.push_back(printable_text(picture.from) + ": " +
                                 std::string(unrenamed_picture_text(picture.reason)));
    }
    add_remainder(notice.details, static_cast<std::int64_t>(pictures.size()));
    return notice;
}

Message log_failure_notice(const ErrorLog& log)
{
    Message notice;
    notice.caption = "Warning";
    notice.icon = MessageIcon::Exclamation;
    notice.text = log.failure_text();
    return notice;
}

} // namespace trevanix
