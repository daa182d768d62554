#include "app/left_out_collector.hpp"

namespace trevanix {

void LeftOutCollector::object_left_out(std::int64_t start_line, std::string_view name, LeftOutReason reason)
{
    ConversionReport& report = session_.conversion_report;
    ++report.objects_left_out;
    const bool kept = report.first_left_out.size() < ConversionReport::kept_left_out;
    if (!kept && session_.left_out_listener == nullptr)
        return;
    LeftOutObject object{start_line, std::string(name), std::string(left_out_key(reason)),
                         std::string(left_out_text(reason))};
    if (session_.left_out_listener != nullptr)
        session_.left_out_listener->object_left_out(object);
    if (kept)
        report.first_left_out.push_back(std::move(object));
}

} // namespace trevanix
