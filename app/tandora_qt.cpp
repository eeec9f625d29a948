#include "app/tandora_qt.h"

#include "app/window_title.h"
#include "support/progress_event.h"
#include "support/prompt_handover.h"
#include "support/task.h"
#include "support/thread_wake.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDebug>
#include <QLabel>
#include <QPushButton>
#include <QTimerEvent>

namespace {

// Three rules separated by eight tabs and a blank, byte for byte as the window has
// always carried them.
const char kStyleSheet[] =
    "QWidget#song{background-image: url(:/TandoraQT/Resources/Pictures/Bg1.jpg);}"
    "\t\t\t\t\t\t\t\t "
    "QWidget#m_tabFirmwareUpdate{background-image: url(:/TandoraQT/Resources/Pictures/Bg3.jpg);}"
    "\t\t\t\t\t\t\t\t "
    "QMainWindow{background-image: url(:/TandoraQT/Resources/Pictures/Bg2.jpg);}";

}  // namespace

TandoraQT::TandoraQT(QWidget* parent, bool demo)
    : QMainWindow(parent), m_demo(demo), m_promptHandover(std::make_unique<CPromptHandover>())
{
    // The pictures live in a static library; nothing else would pull them into the program.
    Q_INIT_RESOURCE(tandora);
    ui.setupUi(this);
    ui.progressBar->hide();
    ui.progressBar->setRange(0, 100);
    ui.m_tabFirmwareUpdate->setWindowOpacity(0.5);
    setWindowFlags((windowFlags() & ~Qt::WindowMaximizeButtonHint) | Qt::MSWindowsFixedSizeDialogHint);
    // The pages place their widgets absolutely; a resized window would only show more
    // background, so the size is pinned where the fixed-size hint has no effect (X11).
    setFixedSize(size());
    fit_font_to_form();
    init_progress_area();
    init_work_wake();
    m_workState = WORK_IDLE;
    m_nCurSong = -1;
    QEvent::registerEventType(PROGRESS_EVENT_TYPE);
    init_ctrls();
    init_style_sheet();
    init_thread();
    init_online_update();
}

TandoraQT::~TandoraQT()
{
    // A command still running (only a test closes the window under one) is asked to stop
    // and waited for: it uses the session and the task. A question it is waiting on is
    // answered silently first, or the wait would never end.
    m_promptHandover->close();
    if (m_worker.joinable()) {
        m_task->cancel();
        m_worker.join();
    }
    // The thread writes m_bDevChanged, declared after it: it must end before anything.
    m_pDetectThread.reset();
}

// The form measured its text boxes for one desktop's fonts; where fonts come out larger
// (Linux counts 96 dots per inch, macOS 72) the texts would be clipped. A label with a
// size of its own (the bold list title) shrinks in half points until its ink fits its
// box; the other labels and the check box shrink together with the window's font until
// they are wide enough.
void TandoraQT::fit_font_to_form()
{
    constexpr qreal kSmallest = 7.0;
    auto ink_fits = [](const QLabel* label) {
        const QFontMetrics metrics = label->fontMetrics();
        const QRect ink = metrics.tightBoundingRect(label->text());
        // A single line is centred vertically by its full line height.
        const int baseline = (label->height() - metrics.height()) / 2 + metrics.ascent();
        return ink.width() <= label->width() && baseline + ink.top() >= 0 &&
               baseline + ink.bottom() < label->height();
    };
    for (QLabel* label : findChildren<QLabel*>()) {
        if (!label->testAttribute(Qt::WA_SetFont))
            continue;
        QFont own = label->font();
        while (!ink_fits(label) && own.pointSizeF() > kSmallest) {
            own.setPointSizeF(own.pointSizeF() - 0.5);
            label->setFont(own);
        }
    }
    auto wide_enough = [this] {
        for (const QLabel* label : findChildren<QLabel*>())
            if (label->sizeHint().width() > label->width())
                return false;
        for (const QCheckBox* box : findChildren<QCheckBox*>())
            if (box->sizeHint().width() > box->width())
                return false;
        return true;
    };
    QFont form_font = font();
    while (!wide_enough() && form_font.pointSizeF() > kSmallest) {
        form_font.setPointSizeF(form_font.pointSizeF() - 0.5);
        setFont(form_font);
    }
}

void TandoraQT::init_ctrls()
{
    m_iconTone.addFile(":/TandoraQT/Resources/Pictures/tone.ico", QSize(), QIcon::Normal, QIcon::Off);
    m_iconToneNone.addFile(":/TandoraQT/Resources/Pictures/toneNone.ico", QSize(), QIcon::Normal, QIcon::Off);
    init_mono_mode();
    ui.m_lstSong->viewport()->setAcceptDrops(true);
    ui.m_lstSong->viewport()->installEventFilter(this);
    init_verify_import();
    update_firmware_update_mode();
}

void TandoraQT::init_style_sheet()
{
    setStyleSheet(QString::fromLatin1(kStyleSheet));
}

void TandoraQT::init_thread()
{
    m_bDevChanged = false;
    OnDeviceConnectStatusChanged(auto_connect() ? 1 : 0);
    m_pDetectThread = std::make_unique<CMidiDeviceDetector>(
        &m_bDevChanged, SDetectTiming{},
        [this](const std::vector<std::string>& output_names) { m_session.notice_ports(output_names); });
    m_nTimerId = startTimer(1000, Qt::CoarseTimer);
}

bool TandoraQT::is_link_open() const
{
    return m_session.is_open();
}

bool TandoraQT::auto_connect()
{
    return m_session.search_and_open();
}

void TandoraQT::update_window_title()
{
    const CUSBConnect& link = m_session.link();
    setWindowTitle(window_title(is_link_open(), link.is_in_update_mode(), link.product_id(),
                                link.firmware_version(), m_demo));
}

void TandoraQT::OnDeviceConnectStatusChanged(int connected)
{
    update_window_title();
    update_button_status();
    if (connected) {
        load_data_from_device();
        init_firmware_list();
    } else {
        ui.m_lstSong->clear();
        show_free_space();
        ui.m_comNewSoftware->clear();
    }
}

void TandoraQT::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_nTimerId || m_workState != WORK_IDLE ||
        (!m_bDevChanged && m_nReconnectTicks == 0))
        return;
    // The search and the link check show boxes, whose event loops deliver further ticks;
    // a nested search would reopen ports under the enumeration of the one that is
    // showing the box. The flag stays set, so the first tick after it handles the change.
    if (m_bCheckingConnection)
        return;
    m_bDevChanged = false;
    qDebug("timerEvent");
    m_bCheckingConnection = true;
    check_device_change();
    m_bCheckingConnection = false;
}

void TandoraQT::check_device_change()
{
    if (!is_link_open()) {
        if (m_nReconnectTicks > 0)
            --m_nReconnectTicks;
        if (!auto_connect())
            return;
        m_nReconnectTicks = 0;
        OnDeviceConnectStatusChanged(1);
        qDebug("CDevBaseDlg::connected=TRUE %d\n", static_cast<int>(m_session.link().product_id()));
        return;
    }
    if (m_session.check_connect())
        return;
    m_session.close();
    // The pedal may already be back (re-plugged while an update waited for it) with the
    // port list as it was, or come back in a moment: nothing else would look for it.
    m_nReconnectTicks = kReconnectTicks;
    OnDeviceConnectStatusChanged(0);
    qDebug("CDevBaseDlg::connected=FALSE\n");
}

void TandoraQT::customEvent(QEvent* event)
{
    if (event->type() == PROGRESS_EVENT_TYPE)
        on_work_woken();
}

void TandoraQT::paintEvent(QPaintEvent*) {}

void TandoraQT::closeEvent(QCloseEvent* event)
{
    if (m_workState == WORK_IDLE)
        event->accept();
    else
        event->ignore();
}
