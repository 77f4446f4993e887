#pragma once

#include <QString>

#include <ostream>

// GoogleTest shows Qt strings as text in its failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
