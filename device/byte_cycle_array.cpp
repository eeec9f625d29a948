#include "device/byte_cycle_array.h"

#include <cstring>

SByteCycleArray::SByteCycleArray()
    : buffer(nullptr), capacity(0), read_index(0), write_index(0), borrowed(true)
{
}

SByteCycleArray::SByteCycleArray(unsigned int n)
    : buffer(new unsigned char[n]), capacity(n), read_index(0), write_index(0), borrowed(false)
{
}

SByteCycleArray::~SByteCycleArray()
{
    release_storage();
}

void SByteCycleArray::release_storage()
{
    if (!borrowed)
        delete[] buffer;
    buffer = nullptr;
    capacity = 0;
    borrowed = true;
}

void SByteCycleArray::Init(unsigned char* data, unsigned int n)
{
    release_storage();
    buffer = data;
    capacity = data ? n : 0;
    borrowed = true;
    read_index.store(0, std::memory_order_relaxed);
    write_index.store(0, std::memory_order_release);
}

unsigned int SByteCycleArray::free_space() const
{
    if (capacity == 0)
        return 0;
    const unsigned int w = write_index.load(std::memory_order_relaxed);
    const unsigned int r = read_index.load(std::memory_order_acquire);
    const unsigned int used = w >= r ? w - r : capacity - r + w;
    return capacity - 1 - used;
}

bool SByteCycleArray::Write(unsigned char b)
{
    return Write(&b, 1);
}

bool SByteCycleArray::Write(const unsigned char* src, unsigned int n)
{
    if (n > free_space())
        return false;
    store(src, n);
    return true;
}

void SByteCycleArray::store(const unsigned char* src, unsigned int n)
{
    if (n == 0)
        return;
    const unsigned int w = write_index.load(std::memory_order_relaxed);
    const unsigned int to_end = capacity - w;
    unsigned int next;
    if (n > to_end) {
        std::memcpy(buffer + w, src, to_end);
        std::memcpy(buffer, src + to_end, n - to_end);
        next = n - to_end;
    } else {
        std::memcpy(buffer + w, src, n);
        next = (w + n == capacity) ? 0 : w + n;
    }
    write_index.store(next, std::memory_order_release);
}

unsigned int SByteCycleArray::Write(SByteCycleArray& other)
{
    unsigned int moved = 0;
    unsigned char b;
    while (free_space() > 0 && other.Read(b)) {
        store(&b, 1);
        ++moved;
    }
    return moved;
}

bool SByteCycleArray::Read(unsigned char& b)
{
    const unsigned int r = read_index.load(std::memory_order_relaxed);
    if (r == write_index.load(std::memory_order_acquire))
        return false;
    b = buffer[r];
    read_index.store(r + 1 == capacity ? 0 : r + 1, std::memory_order_release);
    return true;
}

void SByteCycleArray::Clear()
{
    read_index.store(write_index.load(std::memory_order_acquire), std::memory_order_release);
}

bool SByteCycleArray::empty() const
{
    return read_index.load(std::memory_order_relaxed) == write_index.load(std::memory_order_acquire);
}
