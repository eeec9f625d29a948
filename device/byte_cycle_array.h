#pragma once

#include <atomic>

// Byte ring shared by exactly one writer thread (the MIDI input callback) and one reader
// thread (the GUI thread) without a lock. Only the writer moves the write index and only
// the reader moves the read index; each index is published with release ordering and
// read with acquire ordering, so the bytes behind an index are visible before the index
// is. The ring holds at most capacity - 1 unread bytes; a write that does not fit in the
// free space is refused whole, so unread bytes are never overwritten.
struct SByteCycleArray {
    // No storage: every write is refused.
    SByteCycleArray();
    // Owns n bytes of storage.
    explicit SByteCycleArray(unsigned int n);
    ~SByteCycleArray();
    SByteCycleArray(const SByteCycleArray&) = delete;
    SByteCycleArray& operator=(const SByteCycleArray&) = delete;

    // Uses the caller's n bytes, which must outlive the ring. Not thread-safe: call it
    // before any writer or reader runs.
    void Init(unsigned char* data, unsigned int n);

    // Writer side. False when the bytes do not fit; nothing is then stored.
    [[nodiscard]] bool Write(unsigned char b);
    [[nodiscard]] bool Write(const unsigned char* src, unsigned int n);
    // Moves the unread bytes of `other` (this thread being its reader) into this ring
    // until either is exhausted; returns the number moved.
    unsigned int Write(SByteCycleArray& other);

    // Reader side.
    [[nodiscard]] bool Read(unsigned char& b);
    void Clear();
    bool empty() const;

    unsigned char* buffer;
    unsigned int capacity;
    std::atomic<unsigned int> read_index;
    std::atomic<unsigned int> write_index;
    bool borrowed;

private:
    void release_storage();
    unsigned int free_space() const;
    void store(const unsigned char* src, unsigned int n);
};
