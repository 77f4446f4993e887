#include "TestFiles.h"

#include <cstdlib>
#include <ctime>

namespace morvane::test {

struct ScopedTimeZone::Saved
{
    std::string old;
    bool hadOld = false;
};

ScopedTimeZone::ScopedTimeZone(const char *zone)
    : saved_(std::make_unique<Saved>())
{
    if (const char *old = std::getenv("TZ")) {
        saved_->old = old;
        saved_->hadOld = true;
    }
    ::setenv("TZ", zone, 1);
    ::tzset();
}

ScopedTimeZone::~ScopedTimeZone()
{
    if (saved_->hadOld)
        ::setenv("TZ", saved_->old.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

} // namespace morvane::test
