#include "support/neat.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTime>
#include <cstdlib>
#include <mutex>

namespace NEAT {

QString GetAppDir()
{
    static std::mutex guard;
    static QString folder;
    std::lock_guard<std::mutex> lock(guard);
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath() + "/";
    return folder;
}

int PeekAndPump()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return 1;
}

void Sleep(unsigned int milliseconds)
{
    QElapsedTimer stopwatch;
    stopwatch.start();
    while (static_cast<unsigned int>(stopwatch.elapsed()) < milliseconds) {
    }
}

uint32_t get_random_dword()
{
    const QTime now = QTime::currentTime();
    std::srand(now.isValid() ? static_cast<unsigned int>(now.msecsSinceStartOfDay()) : 0u);
    const int a = std::rand();
    const int b = std::rand();
    const int c = std::rand();
    const int d = std::rand();
    uint32_t high = static_cast<uint32_t>(a) & 0xFFFFu;
    if (b >= 0x3FFF)
        high |= 0x8000u;
    uint32_t low = static_cast<uint32_t>(c) & 0xFFFFu;
    if (d >= 0x3FFF)
        low |= 0x8000u;
    return (high << 16) | low;
}

}  // namespace NEAT
