#pragma once

#include <cstdint>
#include <string>

#include "app/engine/thinking_settings.h"
#include "app/faults/fault_settings.h"

namespace pawnlark {

// The dialect spoken on standard input and output.
enum class Protocol : std::uint8_t { Uci, Cecp };

// Which options the engine offers the front end.
enum class OptionsMode : std::uint8_t {
    Basic,  // UCI_Chess960 (and Ponder with --ponder); CECP announces Noise and ignores "option"
    Full,   // the whole catalogue, read and checked by each dialect's grammar
    Echo,   // the same, and every accepted option is confirmed in a line of its own
};

// What the command loops read of the command line: the faults, the pace of thinking, and how
// each dialect presents itself.
struct ProtocolSettings : FaultSettings, ThinkSettings {
    std::string name = "pawnlark";  // "id name" in UCI, "myname" in CECP
    std::uint64_t seed = 42;        // seed of the one random generator
    bool random = false;            // uniform move choice instead of material
    // Opt-in behaviour beyond the two dialects' basics; off by default.
    bool cecp_standard = false;       // CECP: force mode, sides, moving on usermove, result lines
    bool ponder = false;              // announce Ponder and name a ponder move after bestmove
    bool no_chess960_option = false;  // neither announce nor accept UCI_Chess960
    OptionsMode options = OptionsMode::Basic;
    bool cecp_accept_draw = false;  // standard play: answer "draw" with "offer draw"

    friend bool operator==(const ProtocolSettings&, const ProtocolSettings&) = default;
};

}  // namespace pawnlark
