#pragma once

// The games a manager reports, read from its PGN file and from the "Finished game" lines it
// prints, and how each one ended.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pawnlark::audit {

// How a game ended, as far as the manager's words tell.
enum class Ending : std::uint8_t {
    Rules,       // mate, stalemate, a draw rule or an adjudication by the rules
    Time,        // loss on time
    Disconnect,  // an engine process ended or its connection closed
    Stall,       // an engine stopped answering
    Illegal,     // an illegal or malformed move
    Resign,      // a resignation
    FalseClaim,  // a forfeit for a false result or illegal-move claim
    Void,        // no result: "*" or an error
    Unknown,     // the manager's words name none of the above
};

std::string_view name_of(Ending ending);  // "rules", "time", ...
std::optional<Ending> ending_named(std::string_view name);

struct GameRecord {
    std::string white;
    std::string black;
    std::string result;       // "1-0", "0-1", "1/2-1/2" or "*"
    std::string termination;  // the PGN Termination tag, if any
    std::string reason;       // the manager's words on the end: its comment, else its last one
    std::vector<std::string> moves;  // the PGN's moves, as written (SAN)
    int number = 0;                  // from a "Finished game N" line; 0 when not known
    int round = 0;                   // the PGN Round tag; 0 when not known
};

// The games of a PGN text, in order; a game cut off at the end of the text is left out.
std::vector<GameRecord> parse_pgn(std::string_view text);

// The games of lines such as "Finished game 1 (faulty vs normal): 0-1 {White disconnects}".
std::vector<GameRecord> parse_finished_lines(std::string_view text);

// The announced games (which a manager may leave out of its PGN file when they end badly),
// each given the Termination tag of its match in the PGN games; the PGN games alone when
// nothing was announced.
std::vector<GameRecord> merge_games(const std::vector<GameRecord>& announced,
                                    const std::vector<GameRecord>& pgn);

// The ending the manager's words name; a "*" result is Void whatever the words.
Ending classify(const GameRecord& game);

// How an engine ended, as a manager's log gives it: fastchess writes
// "<stderr> faulty ---> Process exited normally with status 3" and
// "... ---> Process terminated by signal 9 (SIGKILL - Kill)".
struct LoggedExit {
    std::string engine;
    std::optional<int> status;  // it exited with this status
    std::optional<int> signal;  // it was ended by this signal
};
std::vector<LoggedExit> parse_logged_exits(std::string_view log);

}  // namespace pawnlark::audit
