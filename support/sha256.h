#pragma once

#include <QString>

#include <cstddef>
#include <memory>

struct evp_md_ctx_st;

// SHA-256 by OpenSSL's libcrypto, which uses the processor's SHA instructions where it has
// them: several times the speed of a portable implementation, so hashing a file as it is
// read costs next to nothing.
class CSha256 {
public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    void add(const void* bytes, size_t length);
    // The digest of everything added, in lower-case hex; empty when the library failed.
    // The hasher is spent afterwards.
    [[nodiscard]] QString hex_result();
    // The digest of what was added so far; the hasher goes on.
    [[nodiscard]] QString hex_so_far() const;

private:
    struct SContextFree {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, SContextFree> m_context;
    bool m_ok = false;
};
