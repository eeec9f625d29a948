#include "app/window_task.h"

#include "support/neat.h"
#include "support/progress_event.h"

CWindowTask::CWindowTask(QObject* window)
{
    m_task.set_listener([this, window] {
        // The window maps percent p of 100 onto its bar as it mapped step i of n: a song's
        // transfer to p, the firmware write pass to 80 + p / 5, the same figures as before.
        // Bytes counted before the first step must not post the start of the range.
        const int percent = m_task.progress().percent;
        if (percent != m_posted) {
            m_posted = percent;
            post_progress(window, static_cast<unsigned int>(percent), 100);
        }
        NEAT::PeekAndPump();
    });
}
