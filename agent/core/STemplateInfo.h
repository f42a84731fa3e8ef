#pragma once

#include "common/Optional.h"

#include <QString>

// The parts of a monitoring template that name its attachment folder. Plain value.
struct STemplateInfo
{
    int id = 0;
    Optional<int> number;     // the template's version number
    Optional<QString> name;
    Optional<bool> custom;    // a user's own template rather than a standard one
};
