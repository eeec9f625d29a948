#include "support/file_hash.h"
#include "support/sha256.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <string>

// The standard's examples, whole and added in pieces, and a file of several read pieces.
TEST(Sha256, GivesTheKnownDigests)
{
    const struct {
        std::string text;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const auto& c : cases) {
        CSha256 whole;
        whole.add(c.text.data(), c.text.size());
        EXPECT_EQ(whole.hex_result(), QString(c.digest)) << c.text;
        CSha256 pieces;
        for (char ch : c.text)
            pieces.add(&ch, 1);
        EXPECT_EQ(pieces.hex_result(), QString(c.digest)) << c.text;
    }

    // 4 MiB of "a": four of file_sha256's read pieces.
    QTemporaryDir dir;
    const QString path = dir.path() + "/a.bin";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(QByteArray(4 << 20, 'a')), 4 << 20);
    file.close();
    EXPECT_EQ(file_sha256(path), QString("299285fc41a44cdb038b9fdaf494c76ca9d0c866672b2b266c1a0c17dda60a05"));
    EXPECT_EQ(file_sha256(dir.path() + "/missing.bin"), QString());
}
