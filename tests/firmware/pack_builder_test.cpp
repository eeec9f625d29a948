#include "firmware/pack_file.h"
#include "package_bytes.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct SBuilderRefusal {
    const char* name;
    QByteArray product_id;
    size_t sections;
    const char* error;
};

void PrintTo(const SBuilderRefusal& refusal, std::ostream* out)
{
    *out << refusal.name;
}

class PackBuilder : public ::testing::TestWithParam<SBuilderRefusal> {};

TEST_P(PackBuilder, RefusesWhatTheReaderCouldNotTakeBack)
{
    QByteArray package = "untouched";
    QString error;
    EXPECT_FALSE(make_pack_file(GetParam().product_id, std::vector<SPackSection>(GetParam().sections),
                                package, error));
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(package, "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, PackBuilder,
    ::testing::Values(SBuilderRefusal{"HundredSections", "1", 100,
                                      "A package holds at most 99 sections, not 100"},
                      SBuilderRefusal{"ProductIdTooLong", QByteArray(80, '1'), 0,
                                      "The product ID must be at most 79 characters without NUL"},
                      SBuilderRefusal{"ProductIdWithNul",
                                      QByteArray("12\0"
                                                 "3",
                                                 4),
                                      0, "The product ID must be at most 79 characters without NUL"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PackBuilderGolden, SmallestPackageByteForByte)
{
    Bytes expected(128 + 128 + 2 + 8, 0);
    const auto put = [&expected](size_t at, const char* hex) {
        const Bytes bytes = hex_bytes(hex);
        std::copy(bytes.begin(), bytes.end(), expected.begin() + long(at));
    };
    put(32, "37");                                    // product ID "7"
    put(112, "44 61 74 61 20 4E 75 6D 62 65 72 01");  // "Data Number", one section
    put(124, "3B 04 00 00");                          // 0x37 + 0x403 + 1
    put(128 + 64, "00 01 00 00 02 00 00 00");         // layout text at 256, 2 bytes
    put(128 + 76, "08 00 00 00");                     // stored stream of 8 bytes
    put(128 + 112, "02 01 00 00 00 00 00 00");        // at 258, unpacking to 0 bytes
    put(128 + 124, "0E 00 00 00");
    put(256, "41 42");
    put(258, "22 80 59 5A 5A 5A 5A 5B");  // 78 DA 03 00 00 00 00 01 (empty zlib stream) XOR 5A

    const Bytes actual = to_bytes(built_package("7", {{"AB", QByteArray()}}));
    EXPECT_EQ(actual, expected) << hex_diff(actual, expected);
}

TEST(PackBuilderLimits, LongestProductIdAndMostSectionsStillRead)
{
    const QByteArray id(79, '9');
    QTemporaryDir dir;
    const QString path = dir.path() + "/full.dat";
    QString error;
    ASSERT_TRUE(write_pack_file(path, id, std::vector<SPackSection>(99, {"x", "y"}), error))
        << error.toStdString();
    CPackFile pack;
    ASSERT_TRUE(pack.open(path)) << pack.error_text().toStdString();
    EXPECT_EQ(pack.get_section_count(), 99u);
    EXPECT_EQ(pack.get_file_product_ID(), 0u) << "79 digits overflow 32 bits";
    unsigned length = 0;
    const char* image = pack.get_file_data(98, length);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(to_bytes(image, length), to_bytes(QByteArray("y")));
}

TEST(PackBuilderLimits, FailedWriteKeepsTheOldFile)
{
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(write_pack_file(dir.path() + "/no/such/folder.dat", "1", {}, error));
    EXPECT_TRUE(error.startsWith(QString("Cannot write '%1/no/such/folder.dat'").arg(dir.path())))
        << error.toStdString();

    const QString path = dir.path() + "/keep.dat";
    ASSERT_TRUE(write_pack_file(path, "1", {}, error));
    EXPECT_FALSE(write_pack_file(path, "1", std::vector<SPackSection>(100), error));
    CPackFile pack;
    EXPECT_TRUE(pack.open(path));
}

class MakePackageTool : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString output;

    QString file(const QString& name, const QByteArray& content)
    {
        const QString path = dir.path() + "/" + name;
        write_file(path, content);
        return path;
    }

    int run(const QStringList& arguments)
    {
        QProcess tool;
        tool.start(TANDORA_MAKE_PACKAGE, arguments);
        EXPECT_TRUE(tool.waitForFinished(30000));
        output = QString::fromLocal8Bit(tool.readAllStandardError() + tool.readAllStandardOutput());
        return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    }
};

TEST_F(MakePackageTool, BuildsAPackageTheReaderOpens)
{
    const QByteArray boot = "[FLASH 1]\nTYPE=0\nStart Address=0x0\nEnd Address=0x4000\nSector Size=0x1000\n";
    const QByteArray nand =
        "[FLASH 1]\nTYPE=1\nStart Address=0x0\nEnd Address=0x40000\nSector Size=0x20000\n";
    const QString target = dir.path() + "/pedal_v1.2.3.dat";
    ASSERT_EQ(run({"--product", "10001", "--output", target, file("boot.ini", boot),
                   file("boot.bin", noise(0x4000, 1)), file("nand.ini", nand),
                   file("nand.bin", noise(0x30000, 2))}),
              0)
        << output.toStdString();

    CPackFile pack;
    ASSERT_TRUE(pack.open(target)) << pack.error_text().toStdString();
    EXPECT_EQ(pack.get_file_product_ID(), 10001u);
    ASSERT_EQ(pack.get_section_count(), 2u);
    unsigned length = 0;
    const char* text = pack.get_file_config(1, length);
    EXPECT_EQ(to_bytes(text, length), to_bytes(nand));
    const char* image = pack.get_file_data(0, length);
    EXPECT_EQ(to_bytes(image, length), to_bytes(noise(0x4000, 1)));
}

struct SToolRefusal {
    const char* name;
    QByteArray product;
    QByteArray layout;
    int image_size;
    const char* message;  // the start of what the tool says
};

void PrintTo(const SToolRefusal& refusal, std::ostream* out)
{
    *out << refusal.name;
}

class MakePackageRefusal : public MakePackageTool, public ::testing::WithParamInterface<SToolRefusal> {};

TEST_P(MakePackageRefusal, WritesNothing)
{
    const QString target = dir.path() + "/out.dat";
    EXPECT_EQ(run({"-p", GetParam().product, "-o", target, file("a.ini", GetParam().layout),
                   file("a.bin", noise(GetParam().image_size, 3))}),
              1);
    EXPECT_TRUE(output.startsWith(QString("tandora_make_package: ") + GetParam().message))
        << output.toStdString();
    EXPECT_FALSE(QFile::exists(target));
}

const QByteArray SMALL_LAYOUT =
    "[FLASH 1]\nTYPE=0\nStart Address=0x0\nEnd Address=0x1000\nSector Size=0x1000\n";

INSTANTIATE_TEST_SUITE_P(
    Inputs, MakePackageRefusal,
    ::testing::Values(
        SToolRefusal{"ProductNotDecimal", "T5", SMALL_LAYOUT, 10, "--product needs a decimal product ID"},
        SToolRefusal{"ProductTooLarge", "4294967296", SMALL_LAYOUT, 10,
                     "--product needs a decimal product ID"},
        SToolRefusal{"LayoutFailsToLoad", "1", "[FLASH 1]\nTYPE=0\nEnd Address=0x1000\n", 10, "'"},
        SToolRefusal{"LayoutWithoutSectors", "1", "[FLASH 2]\nTYPE=0\n", 10, "'"},
        SToolRefusal{"ImageLargerThanLayout", "1", SMALL_LAYOUT, 0x1001, "'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MakePackageTool, RefusalsSayWhatIsWrong)
{
    const QString layout = file("a.ini", SMALL_LAYOUT);
    const QString target = dir.path() + "/out.dat";
    EXPECT_EQ(run({"-p", "1", "-o", target, layout, file("big.bin", noise(0x1001, 1))}), 1);
    EXPECT_TRUE(output.contains("has 4097 bytes, more than the 4096 bytes its layout"))
        << output.toStdString();
    EXPECT_EQ(run({"-p", "1", "-o", target, layout}), 1);
    EXPECT_TRUE(output.contains("pairs of layout file and image file")) << output.toStdString();
    EXPECT_EQ(
        run({"-p", "1", "-o", target, file("bad.ini", "[FLASH 1]\nTYPE=0\nEnd Address=0x1000\n"), layout}),
        1);
    EXPECT_TRUE(output.contains("bad.ini': FLASH start address is empty")) << output.toStdString();
    EXPECT_FALSE(QFile::exists(target));
}

}  // namespace
