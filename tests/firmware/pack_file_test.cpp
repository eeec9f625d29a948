#include "firmware/pack_file.h"
#include "package_bytes.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

namespace {

const QByteArray LAYOUT_A = "[FLASH 1]\nTYPE=0\nStart Address=0x0\nEnd Address=0x10000\nSector Size=0x1000\n";
const QByteArray LAYOUT_B =
    "[FLASH 1]\nTYPE=1\nStart Address=0x100000\nEnd Address=0x500000\nSector Size=0x20000\n";

std::vector<SPackSection> five_sections()
{
    return {
        {LAYOUT_A, noise(3000, 1)},
        {LAYOUT_B, QByteArray()},
        {LAYOUT_A, QByteArray(4 << 20, '\0')},  // compresses about 1000 : 1, close to zlib's limit
        {QByteArray(), noise(1, 2)},
        {LAYOUT_B + "; tail\n", noise(70000, 3)},
    };
}

class PackFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    CPackFile pack;

    QString store(const QByteArray& package, const QString& name = "firmware.dat")
    {
        const QString path = dir.path() + "/" + name;
        write_file(path, package);
        return path;
    }

    void expect_no_sections()
    {
        unsigned length = 0;
        EXPECT_EQ(pack.get_section_count(), 0u);
        EXPECT_EQ(pack.get_file_config(0, length), nullptr);
        EXPECT_EQ(pack.get_file_data(0, length), nullptr);
    }
};

class PackRoundTrip : public PackFile, public ::testing::WithParamInterface<size_t> {};

TEST_P(PackRoundTrip, HandsBackIdenticalLayoutsAndImages)
{
    std::vector<SPackSection> sections = five_sections();
    sections.resize(GetParam());
    ASSERT_TRUE(pack.open(store(built_package("20481", sections)))) << pack.error_text().toStdString();
    EXPECT_EQ(pack.get_file_product_ID(), 20481u);
    ASSERT_EQ(pack.get_section_count(), sections.size());

    for (unsigned i = 0; i < sections.size(); ++i) {
        unsigned length = 0xDEAD;
        const char* text = pack.get_file_config(i, length);
        ASSERT_NE(text, nullptr) << "section " << i;
        EXPECT_EQ(to_bytes(text, length), to_bytes(sections[i].layout_text))
            << "section " << i << ": " << hex_diff(to_bytes(text, length), to_bytes(sections[i].layout_text));

        const char* image = pack.get_file_data(i, length);
        ASSERT_NE(image, nullptr) << "section " << i << ": " << pack.error_text().toStdString();
        EXPECT_EQ(to_bytes(image, length), to_bytes(sections[i].image))
            << "section " << i << ": " << hex_diff(to_bytes(image, length), to_bytes(sections[i].image));
    }
    unsigned length = 0;
    EXPECT_EQ(pack.get_file_config(static_cast<unsigned>(sections.size()), length), nullptr);
    EXPECT_EQ(pack.get_file_data(static_cast<unsigned>(sections.size()), length), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Sections, PackRoundTrip, ::testing::Values(0, 1, 5));

TEST_F(PackFile, StoredImageIsCompressedAndKeyed)
{
    const QByteArray image(5000, 'A');
    const QByteArray package = built_package("1", {{LAYOUT_A, image}});
    ASSERT_TRUE(pack.open(store(package)));
    const SDataHead& head = pack.data_heads().at(0);
    EXPECT_LT(head.stored_length, 200u);
    EXPECT_EQ(head.unpacked_length, 5000u);
    // A zlib stream starts with 0x78; keyed, it must not appear in the file as such.
    EXPECT_EQ(static_cast<unsigned char>(package[int(head.stored_offset)]), 0x78 ^ PACK::KEY);
    EXPECT_EQ(package.mid(int(head.config_offset), int(head.config_length)), LAYOUT_A);
}

struct SHeaderFault {
    const char* name;
    std::function<void(QByteArray&)> damage;
    const char* error;
};

void PrintTo(const SHeaderFault& fault, std::ostream* out)
{
    *out << fault.name;
}

class PackHeaderFault : public PackFile, public ::testing::WithParamInterface<SHeaderFault> {};

TEST_P(PackHeaderFault, RefusesThePackageWithItsText)
{
    QByteArray package = built_package("7", five_sections());
    GetParam().damage(package);
    EXPECT_FALSE(pack.open(store(package)));
    EXPECT_EQ(pack.error_text(), GetParam().error);
    expect_no_sections();
}

const SHeaderFault HEADER_FAULTS[] = {
    {"Empty", [](QByteArray& p) { p.clear(); }, "File Token Error"},
    {"ShorterThanHeader", [](QByteArray& p) { p.truncate(100); }, "File Token Error"},
    {"TokenChanged", [](QByteArray& p) { p[120] = 'R'; }, "File Token Error"},
    {"HeaderCutBeforeChecksum", [](QByteArray& p) { p.truncate(126); }, "File header checksum Error"},
    {"ThirdSectionHeader", [](QByteArray& p) { p[3 * 128 + 10] = char(p[3 * 128 + 10] ^ 1); },
     "Data3l header checksum Error"},
    {"ThirdSectionChecksumWord", [](QByteArray& p) { p[3 * 128 + 124] = char(p[3 * 128 + 124] ^ 1); },
     "Data3l header checksum Error"},
    {"CountBeyondTheHeadersPresent",
     [](QByteArray& p) {
         p.truncate(3 * 128);
         p[123] = 5;
         reseal_file_header(p);
     },
     "Data3l header checksum Error"},
    {"LastHeaderCutShort", [](QByteArray& p) { p.truncate(6 * 128 - 1); }, "Data5l header checksum Error"},
    {"CountOf100",
     [](QByteArray& p) {
         p[123] = 100;
         reseal_file_header(p);
     },
     "File section count Error: 100 sections, at most 99"},
    {"CountOf255",
     [](QByteArray& p) {
         p[123] = char(255);
         reseal_file_header(p);
     },
     "File section count Error: 255 sections, at most 99"},
};

INSTANTIATE_TEST_SUITE_P(Faults, PackHeaderFault, ::testing::ValuesIn(HEADER_FAULTS),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PackFile, EveryCheckedHeaderByteIsCovered)
{
    const QByteArray good = built_package("7", five_sections());
    for (int at = 0; at < 124; ++at) {
        if (at >= 112 && at < 123)
            continue;  // the token has its own check
        QByteArray package = good;
        package[at] = static_cast<char>(package[at] ^ 0x10);
        EXPECT_FALSE(pack.open(store(package))) << "byte " << at;
        EXPECT_EQ(pack.error_text(), "File header checksum Error") << "byte " << at;
    }
    EXPECT_TRUE(pack.open(store(good)));
}

TEST_F(PackFile, FailedOpenForgetsThePreviousPackage)
{
    ASSERT_TRUE(pack.open(store(built_package("7", five_sections()), "good.dat")));
    ASSERT_EQ(pack.get_section_count(), 5u);
    EXPECT_FALSE(pack.open(dir.path() + "/missing.dat"));
    EXPECT_EQ(pack.error_text(), "Open file failed");
    expect_no_sections();
}

TEST_F(PackFile, CountZeroOpensWithoutSectionsAndSuccessKeepsTheOldError)
{
    EXPECT_FALSE(pack.open(dir.path() + "/missing.dat"));
    ASSERT_TRUE(pack.open(store(built_package("42", {}))));
    EXPECT_EQ(pack.get_file_product_ID(), 42u);
    expect_no_sections();
    EXPECT_EQ(pack.error_text(), "Open file failed");
}

struct SProductCase {
    const char* text;
    unsigned id;
};

void PrintTo(const SProductCase& product, std::ostream* out)
{
    *out << '"' << product.text << '"';
}

class PackProductId : public PackFile, public ::testing::WithParamInterface<SProductCase> {};

TEST_P(PackProductId, ReadsDecimalTextOrZero)
{
    ASSERT_TRUE(pack.open(store(built_package(GetParam().text, {}))));
    EXPECT_EQ(pack.get_file_product_ID(), GetParam().id);
}

INSTANTIATE_TEST_SUITE_P(Texts, PackProductId,
                         ::testing::Values(SProductCase{"10001", 10001}, SProductCase{"0010001", 10001},
                                           SProductCase{"4294967295", 4294967295u},
                                           SProductCase{"4294967296", 0}, SProductCase{"T5", 0},
                                           SProductCase{"12a", 0}, SProductCase{" 12", 0},
                                           SProductCase{"", 0}));

TEST_F(PackFile, LayoutPointerGoesStaleOnThePayloadCall)
{
    const QByteArray image = noise(500, 9);
    ASSERT_TRUE(pack.open(store(built_package("7", {{LAYOUT_A, image}}))));
    unsigned length = 0;
    ASSERT_NE(pack.get_file_data(0, length), nullptr);  // grows the buffer once
    const char* text = pack.get_file_config(0, length);
    ASSERT_NE(text, nullptr);
    ASSERT_EQ(to_bytes(text, length), to_bytes(LAYOUT_A));

    const char* data = pack.get_file_data(0, length);
    EXPECT_EQ(data, text);
    EXPECT_EQ(to_bytes(text, length), to_bytes(image)) << "the layout text was overwritten in place";
}

TEST_F(PackFile, ImageMustFitTheDeclaredLengthPlus100)
{
    const QByteArray small = noise(1000, 4);
    QByteArray package = built_package("7", {{LAYOUT_A, small}});
    unsigned length = 0;

    forge_section_word(package, 0, PACK::UNPACKED_LENGTH_AT, 900);  // buffer of exactly 1000
    ASSERT_TRUE(pack.open(store(package)));
    const char* image = pack.get_file_data(0, length);
    ASSERT_NE(image, nullptr) << pack.error_text().toStdString();
    EXPECT_EQ(length, 1000u) << "the true length, not the declared one";

    CPackFile fresh;
    forge_section_word(package, 0, PACK::UNPACKED_LENGTH_AT, 899);
    ASSERT_TRUE(fresh.open(store(package)));
    EXPECT_EQ(fresh.get_file_data(0, length), nullptr);
    EXPECT_EQ(fresh.error_text(), "decode bin file failed");
}

TEST_F(PackFile, ALargerEarlierSectionLeavesRoomForAnUnderstatedOne)
{
    QByteArray package = built_package("7", {{LAYOUT_A, noise(5000, 5)}, {LAYOUT_B, noise(1000, 6)}});
    forge_section_word(package, 1, PACK::UNPACKED_LENGTH_AT, 10);
    ASSERT_TRUE(pack.open(store(package)));
    unsigned length = 0;
    ASSERT_NE(pack.get_file_data(0, length), nullptr);
    const char* image = pack.get_file_data(1, length);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(to_bytes(image, length), to_bytes(noise(1000, 6)));
}

TEST_F(PackFile, CorruptStreamFailsToDecode)
{
    QByteArray package = built_package("7", {{LAYOUT_A, noise(2000, 7)}});
    ASSERT_TRUE(pack.open(store(package)));
    const SDataHead head = pack.data_heads().at(0);
    const int at = int(head.stored_offset + head.stored_length / 2);
    package[at] = static_cast<char>(package[at] ^ 0x55);
    ASSERT_TRUE(pack.open(store(package)));
    unsigned length = 0;
    EXPECT_EQ(pack.get_file_data(0, length), nullptr);
    EXPECT_EQ(pack.error_text(), "decode bin file failed");
}

struct SRangeForgery {
    const char* name;
    unsigned offset;  // word forged in the section header
    uint32_t value;
    bool payload;  // which accessor must fail
    const char* error;
};

void PrintTo(const SRangeForgery& forgery, std::ostream* out)
{
    *out << forgery.name;
}

class PackForgedRange : public PackFile, public ::testing::WithParamInterface<SRangeForgery> {};

TEST_P(PackForgedRange, AccessorFailsWithoutShortDataOrHugeBuffers)
{
    QByteArray package = built_package("7", {{LAYOUT_A, noise(3000, 8)}});
    forge_section_word(package, 0, GetParam().offset, GetParam().value);
    ASSERT_TRUE(pack.open(store(package)));
    unsigned length = 0xDEAD;
    const char* result = GetParam().payload ? pack.get_file_data(0, length) : pack.get_file_config(0, length);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(length, 0xDEADu);
    EXPECT_EQ(pack.error_text(), GetParam().error);
}

const SRangeForgery RANGE_FORGERIES[] = {
    {"LayoutOffsetPastEnd", PACK::CONFIG_OFFSET_AT, 0x7FFFFFF0, false,
     "Data1 layout text lies outside the file"},
    {"LayoutLengthPastEnd", PACK::CONFIG_LENGTH_AT, 0xFFFFFFFF, false,
     "Data1 layout text lies outside the file"},
    {"PayloadOffsetPastEnd", PACK::STORED_OFFSET_AT, 0xFFFFFFFF, true, "Data1 image lies outside the file"},
    {"PayloadLengthPastEnd", PACK::STORED_LENGTH_AT, 10000, true, "Data1 image lies outside the file"},
    {"PayloadLength4GiB", PACK::STORED_LENGTH_AT, 0xFFFFFFFF, true,
     "Data1 image is larger than the 256 MiB a package may carry"},
    {"UnpackedLength4GiB", PACK::UNPACKED_LENGTH_AT, 0xFFFFFFFF, true,
     "Data1 image is larger than the 256 MiB a package may carry"},
};

INSTANTIATE_TEST_SUITE_P(Forgeries, PackForgedRange, ::testing::ValuesIn(RANGE_FORGERIES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PackFile, PackageGoneAfterOpenGivesTheFileMessage)
{
    const QString path = store(built_package("7", {{LAYOUT_A, noise(10, 1)}}), "gone.dat");
    CPackFile other;
    ASSERT_TRUE(pack.open(path));
    ASSERT_TRUE(other.open(path));
    ASSERT_TRUE(QFile::remove(path));
    const QString message = "Open file 'gone.dat' failed, it may be occupied by other process";
    unsigned length = 0;
    EXPECT_EQ(pack.get_file_config(0, length), nullptr);
    EXPECT_EQ(pack.error_text(), message);
    EXPECT_EQ(other.get_file_data(0, length), nullptr);
    EXPECT_EQ(other.error_text(), message);
}

TEST_F(PackFile, GetChecksumSumsWhatIsInTheFile)
{
    QFile file(store(QByteArray("\xFF\x01\x80\x05", 4)));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(CPackFile::GetChecksum(file, 0, 3), 0x180u);
    EXPECT_EQ(CPackFile::GetChecksum(file, 1, 100), 0x86u);
    EXPECT_EQ(CPackFile::GetChecksum(file, 3, INT32_MAX), 0x05u);
    EXPECT_EQ(CPackFile::GetChecksum(file, 4, 1), 0u);
    EXPECT_EQ(CPackFile::GetChecksum(file, 0, -1), 0u);
}

}  // namespace
