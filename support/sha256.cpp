#include "support/sha256.h"

#include <openssl/evp.h>

void CSha256::SContextFree::operator()(evp_md_ctx_st* context) const
{
    EVP_MD_CTX_free(context);
}

CSha256::CSha256() : m_context(EVP_MD_CTX_new())
{
    m_ok = m_context && EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) == 1;
}

CSha256::~CSha256() = default;

void CSha256::add(const void* bytes, size_t length)
{
    if (m_ok && length > 0)
        m_ok = EVP_DigestUpdate(m_context.get(), bytes, length) == 1;
}

QString CSha256::hex_result()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    const bool done = m_ok && EVP_DigestFinal_ex(m_context.get(), digest, &size) == 1;
    m_ok = false;
    if (!done)
        return {};
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), int(size)).toHex());
}

QString CSha256::hex_so_far() const
{
    CSha256 copy;
    copy.m_ok = m_ok && copy.m_ok && EVP_MD_CTX_copy_ex(copy.m_context.get(), m_context.get()) == 1;
    return copy.hex_result();
}
