#pragma once
// The exceptions dictionary as speech uses it: the table and whether it is
// on. The dictionary holder keeps it up to date; the speech service only
// reads it, so speaking never passes through a window.

#include <string>

#include "speech/exceptiondictionary.h"

namespace brunzit {

struct ExceptionsInUse {
    ExceptionDictionary table;
    bool enabled = false;

    // Rewrites text in place when the dictionary is on.
    void apply(std::string& text) const
    {
        if (enabled)
            table.ApplyExceptions(text);
    }
};

}  // namespace brunzit
