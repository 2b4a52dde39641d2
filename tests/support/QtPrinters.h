#pragma once

// Included into every test source (see tests/CMakeLists.txt): GoogleTest's printer of a type is one
// inline instance per program, so a PrintTo seen by only some sources would be dropped at random in
// favour of the byte dump, and a failing QString comparison would print its UTF-16 bytes.
#include <QString>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
