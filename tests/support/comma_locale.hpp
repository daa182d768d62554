#pragma once
// Puts the process's number formatting (LC_NUMERIC) under a language whose
// decimal separator is a comma, as a German desktop does, for the life of the
// object: an installed German locale, or one built from the system's locale
// sources into a temporary folder. active() is false when neither can be had.
#include <clocale>
#include <cstdlib>
#include <string>

#include "support/temp_dir.hpp"

namespace trevanix::testing {

class CommaDecimalLocale {
public:
    CommaDecimalLocale()
    {
        if (take("de_DE.UTF-8"))
            return;
        // localedef may warn and still build the locale: trying it tells.
        const std::string command =
            "localedef -i de_DE -f ISO-8859-1 '" + built_.file("de_DE.ISO-8859-1") + "' >/dev/null 2>&1";
        [[maybe_unused]] const int status = std::system(command.c_str());
        ::setenv("LOCPATH", built_.path().c_str(), 1);
        take("de_DE.ISO-8859-1");
    }
    ~CommaDecimalLocale()
    {
        std::setlocale(LC_NUMERIC, "C");
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

    TempDir built_;
    bool active_ = false;
};

} // namespace trevanix::testing
