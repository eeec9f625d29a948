#include <gtest/gtest.h>
#include <QApplication>
#include <QTemporaryDir>
#include <QTextCodec>

#include <cstdio>

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
    // A program whose sources were lost still links and would pass with nothing run. A
    // skipped test is registered, so a program whose server is missing still passes.
    if (::testing::UnitTest::GetInstance()->total_test_count() == 0) {
        std::fprintf(stderr, "%s registers no test: its sources are missing from its target.\n", argv[0]);
        return 1;
    }
    return RUN_ALL_TESTS();
}
