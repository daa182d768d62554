#pragma once
// Puts the process's number formatting (LC_NUMERIC) under a language whose
// decimal separator is a comma, as a German or French desktop does, for the
// life of the object. An installed locale is used when there is one;
// otherwise one is built from the system's locale sources into a temporary
// folder. active() is false when the machine can give neither.
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_dir.hpp"

namespace trevanix::testing {

class CommaDecimalLocale {
public:
    CommaDecimalLocale()
    {
        if (const char* current = std::setlocale(LC_NUMERIC, nullptr))
            previous_ = current;
        if (const char* path = std::getenv("LOCPATH"))
            previous_locpath_ = path;
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE", "fr_FR"})
            if (take(name))
                return;
        build_and_take();
    }
    ~CommaDecimalLocale()
    {
        std::setlocale(LC_NUMERIC, previous_.c_str());
        if (previous_locpath_)
            ::setenv("LOCPATH", previous_locpath_->c_str(), 1);
        else
            ::unsetenv("LOCPATH");
    }
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

    bool active() const { return active_; }

private:
    bool take(const char* name)
    {
        active_ = std::setlocale(LC_NUMERIC, name) != nullptr && std::string(std::localeconv()->decimal_point) == ",";
        return active_;
    }

    void build_and_take()
    {
        if (!std::filesystem::exists("/usr/share/i18n/locales/de_DE"))
            return;
        built_.emplace();
        const std::string command = "localedef -i de_DE -f ISO-8859-1 '" + built_->file("de_DE.ISO-8859-1") +
                                    "' >/dev/null 2>&1";
        // localedef may warn and still build the locale: trying it tells.
        [[maybe_unused]] const int status = std::system(command.c_str());
        ::setenv("LOCPATH", built_->path().c_str(), 1);
        take("de_DE.ISO-8859-1");
    }

    std::string previous_ = "C";
    std::optional<std::string> previous_locpath_;
    std::optional<TempDir> built_;
    bool active_ = false;
};

} // namespace trevanix::testing
