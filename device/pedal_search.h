#pragma once

#include <set>
#include <string>
#include <vector>

class CUSBConnect;

// Pedals already answered with a box by the search (the request to enter update mode), by
// port name: a pedal is not told again until its ports have left the enumeration, so a
// search repeated every second does not raise the same box every second.
class CAnsweredPedals {
public:
    bool contains(const std::string& port_name) const { return m_names.count(port_name) != 0; }
    void add(const std::string& port_name) { m_names.insert(port_name); }
    // Forgets the pedals whose ports are not among `port_names`.
    void keep_only(const std::vector<std::string>& port_names);

private:
    std::set<std::string> m_names;
};

// Searches the MIDI ports for a pedal and opens it on `link`: an input and an output port
// of exactly the same name form a candidate pair, probed in input-port order. The search
// stops at the first pair found in update mode, which stays open. A pedal found in
// application mode is closed again and the user is asked to put it into update mode (a
// model with the replug flag is first told to re-enumerate). A MIDI library error ends
// the search with a message box carrying the library's text. True when the link is left
// open in update mode; `port_name` then names its ports. With `answered`, an application-
// mode pedal found there is let go without a box, and one told now is added to it.
[[nodiscard]] bool search_and_open_pedal(CUSBConnect& link, CAnsweredPedals* answered = nullptr,
                                         std::string* port_name = nullptr);
