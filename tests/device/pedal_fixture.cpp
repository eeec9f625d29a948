#include "pedal_fixture.h"

CPedalEmulator& PedalTest::add_pedal(const SPedalConfig& config)
{
    m_pedals.push_back(std::make_unique<CPedalEmulator>(m_system, config));
    return *m_pedals.back();
}

bool PedalTest::open_link(CPedalEmulator& pedal)
{
    return m_link->open(pedal_port_word(m_system, pedal.port_name()), true);
}

CPedalEmulator& PedalTest::add_opened_pedal()
{
    CPedalEmulator& pedal = add_pedal();
    EXPECT_TRUE(open_link(pedal));
    pedal.wait_until_idle();
    pedal.clear_command_log();
    return pedal;
}

void PedalTest::fast_timeouts()
{
    m_clock.set_settle([this] {
        for (const auto& pedal : m_pedals)
            pedal->wait_until_idle();
    });
    m_link->port().transfer().set_clock(&m_clock);
}
