// tandora_make_package: builds a firmware package (".dat") from a product ID and pairs of
// (layout text file, image file), one pair per section, in the order given.
//
//   tandora_make_package --product 10001 --output pedal_v1.2.3.dat boot.ini boot.bin app.ini app.bin
//
// Every layout must load, hold at least one sector and cover its image, so a package
// this tool writes can be erased and written as it stands.
#include "firmware/flash_config.h"
#include "firmware/pack_builder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>

namespace {

[[nodiscard]] bool read_whole(const QString& path, QByteArray& bytes, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QString("Cannot read '%1': %2").arg(path, file.errorString());
        return false;
    }
    bytes = file.readAll();
    return true;
}

[[nodiscard]] bool load_section(const QString& layoutPath, const QString& imagePath, SPackSection& section,
                                QString& error)
{
    if (!read_whole(layoutPath, section.layout_text, error) || !read_whole(imagePath, section.image, error))
        return false;
    CFlashConfig layout;
    if (!layout.load_flash_config_text(section.layout_text)) {
        error = QString("'%1': %2").arg(layoutPath, layout.error_text());
        return false;
    }
    if (layout.sectors().empty()) {
        error = QString("'%1' places the image in no sector").arg(layoutPath);
        return false;
    }
    if (uint64_t(section.image.size()) > layout.total()) {
        error = QString("'%1' has %2 bytes, more than the %3 bytes its layout '%4' covers")
                    .arg(imagePath)
                    .arg(section.image.size())
                    .arg(layout.total())
                    .arg(layoutPath);
        return false;
    }
    return true;
}

int refuse(const QString& error)
{
    std::fprintf(stderr, "tandora_make_package: %s\n", qPrintable(error));
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Builds a firmware package from (layout text, image) pairs.");
    parser.addHelpOption();
    const QCommandLineOption product({"p", "product"}, "Product ID of the pedal, decimal.", "id");
    const QCommandLineOption output({"o", "output"}, "Package file to write.", "file");
    parser.addOption(product);
    parser.addOption(output);
    parser.addPositionalArgument("layout image", "One pair per section, in package order.",
                                 "[layout image]...");
    parser.process(app);

    const QString productId = parser.value(product);
    if (!QRegularExpression("^[0-9]{1,10}$").match(productId).hasMatch() ||
        productId.toULongLong() > UINT32_MAX)
        return refuse("--product needs a decimal product ID below 2^32");
    if (parser.value(output).isEmpty())
        return refuse("--output needs the package file to write");
    const QStringList files = parser.positionalArguments();
    if (files.size() % 2 != 0)
        return refuse("sections are given as pairs of layout file and image file");

    std::vector<SPackSection> sections(static_cast<size_t>(files.size() / 2));
    QString error;
    for (size_t i = 0; i < sections.size(); ++i) {
        if (!load_section(files[int(2 * i)], files[int(2 * i + 1)], sections[i], error))
            return refuse(error);
    }
    if (!write_pack_file(parser.value(output), productId.toLatin1(), sections, error))
        return refuse(error);
    std::printf("%s: product %s, %zu sections\n", qPrintable(parser.value(output)), qPrintable(productId),
                sections.size());
    return 0;
}
