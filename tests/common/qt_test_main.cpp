#include <gtest/gtest.h>
#include <QApplication>
#include <QTextCodec>

// Every test program runs inside a QApplication, as the program does, so event posting,
// pumping and widgets behave as they do for real. The locale codec is the program's.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
