#pragma once

#include <QString>
#include <QStringList>
#include <set>
#include <string>
#include <vector>

class CUSBConnect;

// Pedals already told by the search to enter update mode, by port name: a pedal is not told
// again until its ports have left the enumeration, so a search repeated every second does
// not bring up the same notice every second.
class CAnsweredPedals {
public:
    bool contains(const std::string& port_name) const { return m_names.count(port_name) != 0; }
    void add(const std::string& port_name) { m_names.insert(port_name); }
    // Forgets the pedals whose ports are not among `port_names`.
    void keep_only(const std::vector<std::string>& port_names);

private:
    std::set<std::string> m_names;
};

// What the search tells an application-mode pedal's user.
enum class EPedalNotice {
    REPLUG,             // a model with the replug flag was told to re-enumerate
    ENTER_UPDATE_MODE,  // any other model must be put into update mode by hand
};

[[nodiscard]] QString pedal_notice_text(EPedalNotice notice);

struct SPedalSearch {
    // The link is left open in update mode; `port_name` then names its ports.
    bool opened = false;
    std::string port_name;
    // Application-mode pedals told now, in the order found.
    std::vector<EPedalNotice> notices;
    // The MIDI library's text when it failed, which ended the search; else empty.
    QString midi_error;
};

// Searches the MIDI ports for a pedal and opens it on `link`: an input and an output port
// of one pairing key (midi_pairing_key) form a candidate pair, probed in input-port order. The search
// stops at the first pair found in update mode, which stays open. A pedal found in
// application mode is closed again with a notice (a model with the replug flag is first
// told to re-enumerate). With `answered`, an application-mode pedal found there is let go
// without a notice, and one told now is added to it.
[[nodiscard]] SPedalSearch search_and_open_pedal(CUSBConnect& link, CAnsweredPedals* answered = nullptr);

// The texts to show for the search: the notices in order, then the MIDI library's text.
[[nodiscard]] QStringList pedal_search_messages(const SPedalSearch& search);
