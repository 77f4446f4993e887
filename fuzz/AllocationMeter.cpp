#include "AllocationMeter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace morvane::fuzz {
namespace {

std::atomic<std::size_t> live {0};
std::atomic<std::size_t> peak {0};

// Each block carries its size in front, so that a delete without a size can give it back.
constexpr std::size_t kPrefix = alignof(std::max_align_t);

void *allocate(std::size_t n) noexcept
{
    auto *block = static_cast<unsigned char *>(std::malloc(n + kPrefix));
    if (block == nullptr)
        return nullptr;
    *reinterpret_cast<std::size_t *>(block) = n;
    const std::size_t now = live.fetch_add(n) + n;
    std::size_t before = peak.load();
    while (now > before && !peak.compare_exchange_weak(before, now)) { }
    return block + kPrefix;
}

void release(void *p) noexcept
{
    if (p == nullptr)
        return;
    auto *block = static_cast<unsigned char *>(p) - kPrefix;
    live.fetch_sub(*reinterpret_cast<std::size_t *>(block));
    std::free(block);
}

void *allocateOrThrow(std::size_t n)
{
    if (void *p = allocate(n))
        return p;
    throw std::bad_alloc();
}

} // namespace

std::size_t LiveHeapBytes()
{
    return live.load();
}

std::size_t PeakHeapBytes()
{
    return peak.load();
}

void StartPeakMeasure()
{
    peak.store(live.load());
}

} // namespace morvane::fuzz

void *operator new(std::size_t n)
{
    return morvane::fuzz::allocateOrThrow(n);
}

void *operator new[](std::size_t n)
{
    return morvane::fuzz::allocateOrThrow(n);
}

void *operator new(std::size_t n, const std::nothrow_t &) noexcept
{
    return morvane::fuzz::allocate(n);
}

void *operator new[](std::size_t n, const std::nothrow_t &) noexcept
{
    return morvane::fuzz::allocate(n);
}

void operator delete(void *p) noexcept
{
    morvane::fuzz::release(p);
}

void operator delete[](void *p) noexcept
{
    morvane::fuzz::release(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    morvane::fuzz::release(p);
}

void operator delete[](void *p, std::size_t) noexcept
{
    morvane::fuzz::release(p);
}

void operator delete(void *p, const std::nothrow_t &) noexcept
{
    morvane::fuzz::release(p);
}

void operator delete[](void *p, const std::nothrow_t &) noexcept
{
    morvane::fuzz::release(p);
}
