#include "core/port_watch.h"

#include "core/pedal_session.h"
#include "device/device_detect.h"

CPortWatch::CPortWatch(CPedalSession& session, std::atomic<bool>* changed)
    : m_detector(std::make_unique<CMidiDeviceDetector>(
          changed, SDetectTiming{},
          [&session](const std::vector<std::string>& output_names) { session.notice_ports(output_names); }))
{
}

CPortWatch::~CPortWatch() = default;
