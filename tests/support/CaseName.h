#pragma once

#include <ostream>

namespace morvane::test {

// Prints a table row of a parameterised test by its name, so that test listings stay readable.
// Bring it into the row type's namespace with `using test::PrintTo;`.
template <typename Case>
requires requires(const Case &row)
{
    row.name;
}
void PrintTo(const Case &row, std::ostream *out)
{
    *out << row.name;
}

} // namespace morvane::test
