#pragma once

#include <QString>

#include <string>

namespace morvane::test {

// A test's UTF-8 text or path as Qt holds it.
inline QString Q(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace morvane::test
