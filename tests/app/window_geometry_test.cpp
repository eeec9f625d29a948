#include "app/window_geometry.h"
#include "app/tandora_qt.h"
#include "core/pedal_session.h"
#include "emulator/virtual_midi_system.h"
#include "pedal_kit.h"
#include "scripted_prompt.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFile>
#include <QScreen>
#include <memory>

namespace {

// Each test starts and ends without a remembered geometry.
class WindowGeometry : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(config_path()); }
    void TearDown() override { QFile::remove(config_path()); }
    static QString config_path() { return QCoreApplication::applicationDirPath() + "/Config.ini"; }
    // A window as the program builds it: its geometry restored once the form is set up.
    std::unique_ptr<TandoraQT> start_window()
    {
        auto window = std::make_unique<TandoraQT>(session);
        restore_window_geometry(*window);
        return window;
    }

    CInstalledMidiSystem midi;
    CScriptedPrompt prompt;
    CPedalSession session;
};

struct SFirstStartCase {
    QRect available;
    QSize size;
};

class FirstStartSize : public ::testing::TestWithParam<SFirstStartCase> {};

}  // namespace

TEST_P(FirstStartSize, FitsTheScreenAndKeepsTheMinimum)
{
    EXPECT_EQ(first_start_size(GetParam().available, QSize(704, 595)), GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(Screens, FirstStartSize,
                         ::testing::Values(SFirstStartCase{QRect(0, 0, 1920, 1040), QSize(1100, 760)},
                                           SFirstStartCase{QRect(0, 24, 1024, 744), QSize(1024, 744)},
                                           SFirstStartCase{QRect(0, 0, 640, 480), QSize(704, 595)},
                                           SFirstStartCase{QRect(), QSize(1100, 760)}));

TEST_F(WindowGeometry, FirstStartOpensAtTheFirstStartSize)
{
    const auto window = start_window();
    EXPECT_EQ(window->minimumSize(), QSize(704, 595));
    EXPECT_EQ(window->size(), first_start_size(window->screen()->availableGeometry(), QSize(704, 595)));
}

// The test screen is barely larger than the minimum: a window is restored where its title
// bar shows, so the height of its place is not compared.
TEST_F(WindowGeometry, RemembersSizePlaceAndMaximisedAcrossTwoLifetimes)
{
    {
        const auto window = start_window();
        window->setGeometry(30, 2, 720, 596);
        remember_window_geometry(*window);
    }
    {
        const auto window = start_window();
        EXPECT_EQ(window->size(), QSize(720, 596));
        EXPECT_EQ(window->x(), 30);
        EXPECT_FALSE(window->isMaximized());
        window->showMaximized();
        remember_window_geometry(*window);
    }
    const auto window = start_window();
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
}
