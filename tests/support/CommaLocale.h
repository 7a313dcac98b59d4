// A C locale with a decimal comma for the life of the object, where the system has one, so a test
// can show that numbers keep their '.' whatever the locale.
#pragma once

#include <clocale>
#include <string>

struct CommaLocale {
    std::string previous = std::setlocale(LC_ALL, nullptr);
    bool active = false;
    CommaLocale()
    {
        for (const char* name : {"German_Germany.1252", "German", "de-DE", "de_DE.UTF-8", "French"}) {
            if (std::setlocale(LC_ALL, name) && std::localeconv()->decimal_point[0] == ',') {
                active = true;
                return;
            }
        }
        std::setlocale(LC_ALL, previous.c_str());
    }
    ~CommaLocale() { std::setlocale(LC_ALL, previous.c_str()); }
};
