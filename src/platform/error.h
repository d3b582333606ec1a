#pragma once

#include <QtCore/QString>

namespace korva {

// A failure as a routine reports it to its caller: a number and a description.
// Routines never throw across each other; they fill one of these instead.
struct Error
{
    long number = 0;
    QString description;

    bool isSet() const { return number != 0 || !description.isEmpty(); }
    explicit operator bool() const { return isSet(); }
};

} // namespace korva
