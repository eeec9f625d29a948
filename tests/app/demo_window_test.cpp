#include "app/tandora_qt.h"
#include "core/online/update_server.h"
#include "demo/starter_songs.h"
#include "emulator/demo_pedal.h"
#include "scripted_prompt.h"
#include "window_driver.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QListWidget>
#include <QTemporaryDir>
#include <memory>

// The window on a new demo pedal: the demo title with the pedal's model and version, and
// the starter songs in the list.
TEST(DemoWindow, ShowsTheDemoTitleAndTheStarterSongs)
{
    QTemporaryDir folder;
    CDemoPedal::SSettings settings = CDemoPedal::SSettings::of(0x2712, true, false);
    settings.flash_path = folder.filePath("demo.flash");
    CDemoPedal demo(settings);
    ASSERT_EQ(demo.start(give_starter_songs), EDemoFlashResult::NO_FILE);
    CScriptedPrompt prompt;
    // Demo mode without an address given contacts no update server.
    const QString server = UPDATE_SERVER::base();
    UPDATE_SERVER::set_base(QString());
    CPedalSession session;
    auto window_holder = std::make_unique<TandoraQT>(session, true);
    TandoraQT& window = *window_holder;
    CWindowDriver(window, session).wait_until_idle();
    EXPECT_EQ(window.windowTitle(), "Tandora V1.7 - (Demo - PULSE RING, Ver=V1.2.3)");
    const auto* list = window.findChild<QListWidget*>("m_lstSong");
    ASSERT_EQ(list->count(), 30);
    EXPECT_TRUE(list->item(0)->text().startsWith("Song 001 -- (0."));
    EXPECT_TRUE(list->item(1)->text().startsWith("Song 002 -- (0."));
    EXPECT_EQ(list->item(2)->text(), "Song 003 -- (Empty)");
    EXPECT_TRUE(prompt.messages().isEmpty());
    // The firmware page says why its list stays empty.
    const auto* firmware_list = window.findChild<QComboBox*>("m_comNewSoftware");
    EXPECT_EQ(firmware_list->count(), 0);
    EXPECT_EQ(firmware_list->placeholderText(), "No update server in the demo");
    window_holder.reset();
    UPDATE_SERVER::set_base(server);
}
