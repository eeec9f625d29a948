#include <gtest/gtest.h>
#include <QApplication>
#include <QTemporaryDir>
#include <QTextCodec>

// Every test program runs inside a QApplication, as the program does, so event posting,
// pumping and widgets behave as they do for real. The locale codec is the program's. The
// user's data folder (the song journal, the demo pedals) is a fresh one for each run, so
// no run sees what an earlier run, or the developer's own use, left there.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    QApplication app(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
