#pragma once

class CUSBConnect;

// Searches the MIDI ports for a pedal and opens it on `link`: an input and an output port
// of exactly the same name form a candidate pair, probed in input-port order. The search
// stops at the first pair found in update mode, which stays open. A pedal found in
// application mode is closed again and the user is asked to put it into update mode (a
// model with the replug flag is first told to re-enumerate). A MIDI library error ends
// the search with a message box carrying the library's text. True when the link is left
// open in update mode.
[[nodiscard]] bool search_and_open_pedal(CUSBConnect& link);
