#pragma once

#include <QtCore/QStringList>

namespace korva::demo::names {

// Word lists for demo content; all invented or common words, ASCII only so
// the files read the same in any code page.
const QStringList &firstNames();
const QStringList &lastNames();
const QStringList &cities();
const QStringList &departments();
const QStringList &companies();
const QStringList &subjects();

} // namespace korva::demo::names
