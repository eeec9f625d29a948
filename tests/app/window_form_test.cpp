#include "app/page_picture.h"
#include "app/tandora_qt.h"
#include "test_wait.h"
#include "window_fixture.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

namespace {

template <typename T>
T* find(const QWidget& window, const char* name)
{
    return window.findChild<T*>(QString::fromLatin1(name));
}

class WindowForm : public ::testing::Test {
protected:
    WindowForm() { probe.wait_until_idle(); }

    CInstalledMidiSystem midi;
    CScriptedPrompt prompt;
    CPedalSession session;
    TandoraQT window{session};
    CWindowDriver probe{window, session};
};

struct SPlacedWidget {
    const char* name;
    const char* class_name;
    const char* parent;
    QRect geometry;  // empty: placed by a layout or a tab widget
};

const SPlacedWidget kPlacedWidgets[] = {
    {"centralWidget", "QWidget", "TandoraQTClass", {}},
    {"propSheet", "QTabWidget", "centralWidget", {}},
    {"progressBar", "QProgressBar", "centralWidget", {}},
    {"label", "QLabel", "song", {20, 10, 191, 16}},
    {"m_lstSong", "CSongList", "song", {20, 40, 261, 401}},
    {"m_labelMonoMode", "QLabel", "song", {20, 450, 61, 22}},
    {"m_comMonoMode", "QComboBox", "song", {80, 450, 201, 22}},
    {"m_labelLoudness", "QLabel", "song", {310, 450, 71, 22}},
    {"m_comLoudness", "QComboBox", "song", {390, 450, 261, 22}},
    {"m_labelFreeSpace", "QLabel", "song", {20, 480, 261, 16}},
    {"groupBox", "QGroupBox", "song", {310, 30, 341, 411}},
    {"m_btnUpload", "QPushButton", "groupBox", {90, 50, 151, 61}},
    {"m_btnDownload", "QPushButton", "groupBox", {90, 140, 151, 61}},
    {"m_btnDelete", "QPushButton", "groupBox", {90, 230, 151, 61}},
    {"m_btnBackup", "QPushButton", "groupBox", {20, 310, 97, 41}},
    {"m_btnRestore", "QPushButton", "groupBox", {122, 310, 97, 41}},
    {"m_btnSync", "QPushButton", "groupBox", {224, 310, 97, 41}},
    {"m_chkVerifyImport", "QCheckBox", "groupBox", {90, 366, 231, 24}},
    {"groupBox_2", "QGroupBox", "m_tabFirmwareUpdate", {20, 30, 631, 151}},
    {"m_labelNewSoftware", "QLabel", "groupBox_2", {20, 30, 91, 16}},
    {"m_comNewSoftware", "QComboBox", "groupBox_2", {120, 30, 271, 22}},
    {"m_btnSelLocal", "QCheckBox", "groupBox_2", {120, 70, 211, 16}},
    {"m_labelPath", "QLabel", "groupBox_2", {20, 110, 54, 12}},
    {"m_editPath", "QLineEdit", "groupBox_2", {120, 100, 411, 31}},
    {"m_btnOpen", "QPushButton", "groupBox_2", {540, 90, 41, 41}},
    {"m_btnUpdate", "QPushButton", "m_tabFirmwareUpdate", {260, 230, 151, 61}},
};

struct SButtonFace {
    const char* name;
    const char* text;
    const char* tool_tip;
    const char* icon;
    int icon_size;
};

const SButtonFace kButtonFaces[] = {
    {"m_btnUpload", " Export      ", "Export the selected song as a wav file", "Arrow2 Up.png", 48},
    {"m_btnDownload", " Import      ", "Import a wav file to the selected song", "Arrow2 Down.png", 48},
    {"m_btnDelete", " Delete      ", "Delte the selected song", "Trash.png", 48},
    {"m_btnUpdate", "  Update     ", "", "Refresh.png", 48},
    {"m_btnOpen", "", "Open a firmware file", "Search-Small.png", 32},
};

const QString kPictures = ":/TandoraQT/Resources/Pictures/";

struct SPicture {
    const char* file;
    const char* format;
    QSize size;
};

const SPicture kPictureTable[] = {
    {"Arrow2 Up.png", "png", {48, 48}},      {"Arrow2 Down.png", "png", {48, 48}},
    {"Trash.png", "png", {48, 48}},          {"Refresh.png", "png", {48, 48}},
    {"Search-Small.png", "png", {32, 32}},   {"ChangeWav - Gray.png", "png", {48, 48}},
    {"ChangeWav.png", "png", {48, 48}},      {"UpdateFirmware - Gray.png", "png", {48, 48}},
    {"UpdateFirmware.png", "png", {48, 48}}, {"tone.ico", "ico", {32, 32}},
    {"toneNone.ico", "ico", {32, 32}},       {"Bg1.jpg", "jpeg", {676, 536}},
    {"Bg3.jpg", "jpeg", {676, 536}},         {"Bg2.jpg", "jpeg", {704, 595}},
};

// The same picture, compared pixel by pixel, so an icon wired to the wrong file fails.
// Both sides are compared premultiplied: the icon keeps its pixmap premultiplied, and
// converting that back rounds faint pixels differently from one processor to the next,
// while premultiplying the decoded file gives the pixmap's own bytes exactly.
bool same_picture(const QIcon& icon, QIcon::Mode mode, QIcon::State state, const QString& file, int size)
{
    const QImage expected = QImage(kPictures + file).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage shown = icon.pixmap(QSize(size, size), mode, state)
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return !expected.isNull() && shown == expected;
}

}  // namespace

TEST_F(WindowForm, StartsOnTheSongPageAtItsDesignSize)
{
    EXPECT_EQ(window.objectName(), "TandoraQTClass");
    EXPECT_EQ(window.size(), QSize(704, 595));
    auto* pages = find<QTabWidget>(window, "propSheet");
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(pages->tabText(0), "Song Edit");
    EXPECT_EQ(pages->tabText(1), "Firmware Update");
    EXPECT_EQ(pages->widget(0)->objectName(), "song");
    EXPECT_EQ(pages->widget(1)->objectName(), "m_tabFirmwareUpdate");
    EXPECT_EQ(pages->iconSize(), QSize(24, 24));
    EXPECT_TRUE(pages->widget(1)->acceptDrops());

    auto* bar = find<QProgressBar>(window, "progressBar");
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(bar->value(), 24);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->alignment(), Qt::AlignCenter);

    // It may grow and be maximised, never shrink below the form.
    EXPECT_EQ(window.minimumSize(), QSize(704, 595));
    EXPECT_GT(window.maximumHeight(), 595);
}

TEST_F(WindowForm, EveryWidgetHasItsClassParentAndPlace)
{
    for (const SPlacedWidget& expected : kPlacedWidgets) {
        SCOPED_TRACE(expected.name);
        auto* widget = find<QWidget>(window, expected.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), expected.class_name);
        ASSERT_NE(widget->parentWidget(), nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), expected.parent);
        if (!expected.geometry.isEmpty()) {
            EXPECT_EQ(widget->geometry(), expected.geometry);
        }
    }
    auto* layout = find<QWidget>(window, "centralWidget")->layout();
    ASSERT_NE(qobject_cast<QVBoxLayout*>(layout), nullptr);
    EXPECT_EQ(layout->objectName(), "verticalLayout");
    EXPECT_EQ(layout->spacing(), 6);
    EXPECT_EQ(layout->contentsMargins(), QMargins(11, 11, 11, 11));
    ASSERT_EQ(layout->count(), 2);
    EXPECT_EQ(layout->itemAt(0)->widget()->objectName(), "propSheet");
    EXPECT_EQ(layout->itemAt(1)->widget()->objectName(), "progressBar");
}

TEST_F(WindowForm, ButtonsShowTheirTextsToolTipsAndIcons)
{
    for (const SButtonFace& face : kButtonFaces) {
        SCOPED_TRACE(face.name);
        auto* button = find<QPushButton>(window, face.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromLatin1(face.text));
        EXPECT_EQ(button->toolTip(), QString::fromLatin1(face.tool_tip));
        EXPECT_EQ(button->iconSize(), QSize(face.icon_size, face.icon_size));
        EXPECT_TRUE(same_picture(button->icon(), QIcon::Normal, QIcon::On, face.icon, face.icon_size));
        EXPECT_EQ(button->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
        EXPECT_EQ(button->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    }
    for (const char* name : {"m_btnUpload", "m_btnDownload", "m_btnDelete", "m_btnUpdate"}) {
        auto* button = find<QPushButton>(window, name);
        EXPECT_EQ(button->layoutDirection(), Qt::RightToLeft) << name;
        EXPECT_EQ(button->minimumSize(), QSize(50, 50)) << name;
    }
    auto* open = find<QPushButton>(window, "m_btnOpen");
    EXPECT_EQ(open->minimumSize(), QSize(32, 32));
    EXPECT_TRUE(open->autoFillBackground());
    EXPECT_FALSE(open->isFlat());
}

// The check must see a button wired to another button's picture.
TEST_F(WindowForm, PictureCheckTellsEveryButtonIconFromTheOthers)
{
    for (const SButtonFace& shown : kButtonFaces) {
        auto* button = find<QPushButton>(window, shown.name);
        ASSERT_NE(button, nullptr);
        for (const SButtonFace& other : kButtonFaces) {
            if (&other == &shown || other.icon_size != shown.icon_size)
                continue;
            EXPECT_FALSE(same_picture(button->icon(), QIcon::Normal, QIcon::On, other.icon, other.icon_size))
                << shown.name << " against " << other.icon;
        }
    }
}

TEST_F(WindowForm, LabelsAndBoxesReadAsDesigned)
{
    EXPECT_EQ(find<QLabel>(window, "label")->text(), "Song List");
    EXPECT_EQ(find<QGroupBox>(window, "groupBox")->title(), "Edit Song");
    EXPECT_EQ(find<QGroupBox>(window, "groupBox_2")->title(), "Firmware File");
    EXPECT_EQ(find<QLabel>(window, "m_labelNewSoftware")->text(), "Firmware list");
    EXPECT_EQ(find<QLabel>(window, "m_labelPath")->text(), "Path");
    EXPECT_EQ(find<QCheckBox>(window, "m_btnSelLocal")->text(), "Select local file for updating");
    EXPECT_EQ(find<QLabel>(window, "m_labelPath")->buddy(), find<QLineEdit>(window, "m_editPath"));
    EXPECT_EQ(find<QLabel>(window, "m_labelNewSoftware")->buddy(), find<QLineEdit>(window, "m_editPath"));
    EXPECT_EQ(find<QListWidget>(window, "m_lstSong")->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(find<QLabel>(window, "m_labelMonoMode")->text(), "Mono:");
    EXPECT_EQ(find<QLabel>(window, "m_labelMonoMode")->buddy(), find<QComboBox>(window, "m_comMonoMode"));
    EXPECT_EQ(find<QLabel>(window, "m_labelLoudness")->text(), "Loudness:");
    EXPECT_EQ(find<QLabel>(window, "m_labelLoudness")->buddy(), find<QComboBox>(window, "m_comLoudness"));
    EXPECT_TRUE(find<QListWidget>(window, "m_lstSong")->viewport()->acceptDrops());
}

// The form as designed gives the list title 12 points; the window may shrink it to fit
// its box on a desktop with larger fonts, but it stays bold and above the other texts.
TEST_F(WindowForm, NoTextIsClipped)
{
    QMainWindow bare;
    Ui_TandoraQTClass form;
    {
        // A bare main window has none of the slots the form connects to; it says so.
        CDebugCapture quiet;
        form.setupUi(&bare);
    }
    EXPECT_EQ(form.label->font().pointSize(), 12);
    EXPECT_EQ(form.label->font().weight(), 75);

    auto* title = find<QLabel>(window, "label");
    EXPECT_TRUE(title->font().bold());
    EXPECT_LE(title->font().pointSizeF(), 12.0);
    EXPECT_GT(title->font().pointSizeF(), find<QLabel>(window, "m_labelPath")->font().pointSizeF());
    const QFontMetrics metrics = title->fontMetrics();
    const QRect ink = metrics.tightBoundingRect(title->text());
    const int baseline = (title->height() - metrics.height()) / 2 + metrics.ascent();
    EXPECT_GE(baseline + ink.top(), 0);
    EXPECT_LT(baseline + ink.bottom(), title->height());
    for (const char* name : {"label", "m_labelNewSoftware", "m_labelPath", "m_labelMonoMode"}) {
        auto* label = find<QLabel>(window, name);
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << name;
    }
    auto* local = find<QCheckBox>(window, "m_btnSelLocal");
    EXPECT_LE(local->sizeHint().width(), local->width());
}

TEST_F(WindowForm, TabIconsAreGreyUntilSelected)
{
    auto* pages = find<QTabWidget>(window, "propSheet");
    const struct {
        int tab;
        const char* grey;
        const char* coloured;
    } tabs[] = {{0, "ChangeWav - Gray.png", "ChangeWav.png"},
                {1, "UpdateFirmware - Gray.png", "UpdateFirmware.png"}};
    for (const auto& tab : tabs) {
        SCOPED_TRACE(tab.tab);
        const QIcon icon = pages->tabIcon(tab.tab);
        EXPECT_TRUE(same_picture(icon, QIcon::Normal, QIcon::Off, tab.grey, 48));
        EXPECT_TRUE(same_picture(icon, QIcon::Active, QIcon::Off, tab.grey, 48));
        EXPECT_TRUE(same_picture(icon, QIcon::Normal, QIcon::On, tab.coloured, 48));
    }
}

// Tab moves through the listed widgets in this order; widgets of the form that are not
// listed, and the tab widget's own parts, may come in between.
TEST_F(WindowForm, FocusMovesInTheDesignedOrder)
{
    const char* order[] = {"m_btnOpen",  "m_btnDownload", "m_btnUpload", "propSheet",
                           "m_editPath", "m_btnUpdate",   "m_btnDelete"};
    QStringList visited;
    QWidget* start = find<QWidget>(window, order[0]);
    QWidget* widget = start;
    do {
        visited << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget && widget != start && visited.size() < 1000);
    int previous = -1;
    for (const char* name : order) {
        const int at = visited.indexOf(name);
        EXPECT_GT(at, previous) << name << " in " << visited.join(' ').toStdString();
        previous = at;
    }
}

namespace {

struct SExtendCase {
    QPoint at;
    QPoint from;  // the picture's pixel drawn there
};

class PagePictureExtends : public ::testing::TestWithParam<SExtendCase> {};

}  // namespace

// A 3 x 2 picture of six colours on an area of 6 x 5: the last column goes on to the right,
// the last row down, the last pixel into the corner.
TEST_P(PagePictureExtends, WithItsLastColumnAndRow)
{
    QImage picture(3, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            picture.setPixel(x, y, qRgb(40 * x, 100 * y, 200));
    const QImage extended = extended_picture(picture, QSize(6, 5));
    ASSERT_EQ(extended.size(), QSize(6, 5));
    EXPECT_EQ(extended.pixel(GetParam().at), picture.pixel(GetParam().from));
}

INSTANTIATE_TEST_SUITE_P(Pixels, PagePictureExtends,
                         ::testing::Values(SExtendCase{{0, 0}, {0, 0}}, SExtendCase{{2, 1}, {2, 1}},
                                           SExtendCase{{5, 0}, {2, 0}}, SExtendCase{{4, 1}, {2, 1}},
                                           SExtendCase{{1, 4}, {1, 1}}, SExtendCase{{5, 4}, {2, 1}}));

// Grown, the song page's title panel goes on to the page's right edge.
TEST_F(WindowForm, SongPagePictureFollowsThePage)
{
    window.show();
    window.resize(1100, 760);
    auto* page = find<QWidget>(window, "song");
    ASSERT_TRUE(wait_or_fail([&] { return page->width() > 900; }));
    const QImage picture(":/TandoraQT/Resources/Pictures/Bg1.jpg");
    const QImage drawn = page->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(drawn.width() - 1, 5), picture.pixelColor(picture.width() - 1, 5));
    EXPECT_TRUE(window.styleSheet().isEmpty());
}

TEST(Pictures, AreCompiledInWithTheirKindsAndSizes)
{
    Q_INIT_RESOURCE(tandora);
    for (const SPicture& picture : kPictureTable) {
        SCOPED_TRACE(picture.file);
        QImageReader reader(kPictures + picture.file);
        EXPECT_EQ(reader.format(), QByteArray(picture.format));
        EXPECT_EQ(reader.size(), picture.size);
        EXPECT_FALSE(reader.read().isNull()) << reader.errorString().toStdString();
    }
}

// The two connections whose effect the window itself shows; the others lead to the
// song and firmware commands.
TEST_F(WindowForm, FormConnectsTheListAndTheSourceCheckBox)
{
    auto* songs = find<QListWidget>(window, "m_lstSong");
    songs->addItems({"a", "b", "c"});
    songs->setCurrentRow(2);
    EXPECT_EQ(probe.current_song(), 2);

    window.show();
    auto* local = find<QCheckBox>(window, "m_btnSelLocal");
    find<QTabWidget>(window, "propSheet")->setCurrentIndex(1);
    EXPECT_TRUE(find<QComboBox>(window, "m_comNewSoftware")->isVisible());
    EXPECT_FALSE(find<QLineEdit>(window, "m_editPath")->isVisible());
    // Without a pedal the box is disabled; the form's connection is what is under test.
    local->setEnabled(true);
    QTest::mouseClick(local, Qt::LeftButton, {}, QPoint(8, local->height() / 2));
    ASSERT_TRUE(local->isChecked());
    EXPECT_FALSE(find<QComboBox>(window, "m_comNewSoftware")->isVisible());
    EXPECT_FALSE(find<QLabel>(window, "m_labelNewSoftware")->isVisible());
    EXPECT_TRUE(find<QLineEdit>(window, "m_editPath")->isVisible());
    EXPECT_TRUE(find<QPushButton>(window, "m_btnOpen")->isVisible());
    EXPECT_TRUE(find<QLabel>(window, "m_labelPath")->isVisible());
}
