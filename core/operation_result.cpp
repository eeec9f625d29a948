#include "core/operation_result.h"

#include "support/slot_song_name.h"

#include <utility>

COperationResult::COperationResult(EKind kind, ELooperActionResult song, bool ok, QString text)
    : m_kind(kind), m_song(song), m_ok(ok), m_text(std::move(text))
{
}

COperationResult COperationResult::song(ELooperActionResult result)
{
    return {EKind::SONG, result, result == LOOPER_RESULT_OK, looper_action_result_text(result)};
}

COperationResult COperationResult::firmware(bool ok)
{
    return {EKind::FIRMWARE, LOOPER_RESULT_OK, ok,
            ok ? QStringLiteral("Successful!") : QStringLiteral("Failed!")};
}

COperationResult COperationResult::audio_failed(const QString& text)
{
    return {EKind::AUDIO, LOOPER_RESULT_OK, false, text.isEmpty() ? QStringLiteral("Failed !") : text};
}

COperationResult COperationResult::from_store(ELooperActionResult result)
{
    return result == LOOPER_RESULT_CANCELLED ? cancelled() : song(result);
}

COperationResult COperationResult::from_write(ELooperActionResult result, const QString& journal_problem)
{
    if (result != LOOPER_RESULT_JOURNAL_NOT_SAVED || journal_problem.isEmpty())
        return from_store(result);
    return {EKind::SONG, result, false, journal_not_saved_text(journal_problem)};
}

COperationResult COperationResult::cancelled()
{
    return {EKind::CANCELLED, LOOPER_RESULT_OK, false, QStringLiteral("Cancelled !")};
}

COperationResult COperationResult::summary(bool ok, const QString& text)
{
    return {EKind::SUMMARY, LOOPER_RESULT_OK, ok, text};
}

COperationResult COperationResult::verify_failed(unsigned int slot)
{
    return {
        EKind::VERIFY, LOOPER_RESULT_OK, false,
        QStringLiteral("Verify failed: the pedal returned different data for %1").arg(slot_song_name(slot))};
}

COperationResult COperationResult::library(bool ok, const QString& text)
{
    return {EKind::LIBRARY, LOOPER_RESULT_OK, ok, text};
}

COperationResult COperationResult::declined()
{
    return {EKind::DECLINED, LOOPER_RESULT_OK, false, {}};
}

bool COperationResult::ok() const
{
    return m_ok;
}

QString COperationResult::text() const
{
    return m_text;
}

COperationResult COperationResult::with_detail(const QString& detail) const
{
    COperationResult result = *this;
    result.m_detail = detail;
    return result;
}

COperationResult COperationResult::after_midi_service_stopped() const
{
    if (m_ok || m_kind == EKind::CANCELLED || m_kind == EKind::DECLINED || m_kind == EKind::AUDIO ||
        m_kind == EKind::LIBRARY)
        return *this;
    COperationResult result = song(LOOPER_RESULT_MIDI_SERVICE_STOPPED);
    result.m_detail = m_detail;
    result.m_notes = m_notes;
    return result;
}

COperationResult COperationResult::with_notes_before(const QStringList& notes) const
{
    COperationResult result = *this;
    result.m_notes = notes + m_notes;
    return result;
}
