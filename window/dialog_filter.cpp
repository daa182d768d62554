#include "window/dialog_filter.hpp"

#include <vector>

namespace trevanix::window {

namespace {

std::vector<QString> split_bars(const std::string& filter)
{
    std::vector<QString> parts;
    for (const QString& part : QString::fromLocal8Bit(filter).split(QLatin1Char('|')))
        parts.push_back(part.trimmed());
    return parts;
}

} // namespace

QStringList qt_name_filters(const std::string& filter)
{
    QStringList out;
    if (filter.empty())
        return out;
    const std::vector<QString> parts = split_bars(filter);
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString patterns = i + 1 < parts.size() ? parts[i + 1] : QStringLiteral("*");
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns = patterns.simplified();
        if (patterns.isEmpty())
            patterns = QStringLiteral("*");
        const QString own = QLatin1Char('(') + patterns + QLatin1Char(')');
        if (description.isEmpty())
            out << own;
        else if (description.endsWith(own))
            out << description;
        else
            out << description + QLatin1Char(' ') + own;
    }
    return out;
}

QString first_pattern_suffix(const std::string& filter)
{
    const std::vector<QString> parts = split_bars(filter);
    if (parts.size() < 2)
        return {};
    const QString first = parts[1].section(QLatin1Char(';'), 0, 0).trimmed();
    if (!first.startsWith(QLatin1String("*.")))
        return {};
    const QString suffix = first.mid(2);
    if (suffix.isEmpty() || suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?')))
        return {};
    return suffix;
}

} // namespace trevanix::window
