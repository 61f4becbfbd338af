// pawnlark-match: plays complete games between two pawnlark processes, as a small tournament
// manager would, and writes them as PGN with SAN moves. Openings come from the engine's own
// opening generator (the one behind "genfens"); a search finds plies from the standard start
// to each, so every game is written from the start and any PGN reader can replay it. Every move an
// engine sends is checked against a referee game; an illegal or missing move ends the run with
// status 1.
//
// Usage: pawnlark-match --engine PATH [--proto uci|cecp] [--games N] [--seed S]
//                       [--pgn FILE] [--max-plies N] [--white-args "..."] [--black-args "..."]

#include <chrono>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/engine/openings.h"
#include "support/child_process.h"
#include "velloran/chess/game.h"
#include "velloran/text.h"

namespace {

using velloran::Board;
using velloran::Color;
using velloran::Game;
using velloran::GameStatus;
using velloran::Move;
using velloran::Piece;

constexpr std::chrono::milliseconds ReplyTimeout{10000};

using Engine = pawnlark::support::ChildProcess;

// Lines up to and including the first that starts with `prefix`; absent if none came.
std::optional<std::string> read_until(Engine& engine, std::string_view prefix) {
    while (auto line = engine.read_line(ReplyTimeout)) {
        if (line->starts_with(prefix)) return line;
    }
    return std::nullopt;
}

struct Options {
    std::string engine;
    bool cecp = false;
    int games = 10;
    std::uint64_t seed = 1;
    std::string pgn = "match.pgn";
    int max_plies = 1000;
    std::vector<std::string> white_args;
    std::vector<std::string> black_args;
};

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> out;
    for (const std::string_view word : velloran::Words(text)) out.emplace_back(word);
    return out;
}

std::optional<Options> read_options(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (i + 1 >= argc) return std::nullopt;
        const std::string_view value = argv[++i];
        if (word == "--engine") {
            options.engine = value;
        } else if (word == "--proto") {
            options.cecp = value == "cecp";
        } else if (word == "--games") {
            options.games =
                static_cast<int>(velloran::parse_unsigned<std::uint16_t>(value).value_or(0));
        } else if (word == "--seed") {
            options.seed = velloran::parse_unsigned<std::uint64_t>(value).value_or(1);
        } else if (word == "--pgn") {
            options.pgn = value;
        } else if (word == "--max-plies") {
            options.max_plies =
                static_cast<int>(velloran::parse_unsigned<std::uint16_t>(value).value_or(1000));
        } else if (word == "--white-args") {
            options.white_args = words(value);
        } else if (word == "--black-args") {
            options.black_args = words(value);
        } else {
            return std::nullopt;
        }
    }
    if (options.engine.empty()) return std::nullopt;
    return options;
}

// Squares where `target` has a piece of `side` that `board` lacks, rooks aside. Any move
// fills at most one of them (castling too: its rook is left out), and the other side's moves
// none, so a side with more of them than moves left cannot reach the target in time.
int missing_pieces(const Board& board, const Board& target, Color side) {
    int count = 0;
    for (const Piece piece :
         {Piece::Pawn, Piece::Knight, Piece::Bishop, Piece::Queen, Piece::King}) {
        count += (target.pieces(side, piece) & ~board.pieces(side, piece)).count();
    }
    return count;
}

// Depth first, in the order moves are generated, so every run finds the same path.
bool find_plies(const Board& board, const Board& target, int plies_left, std::vector<Move>& path) {
    if (plies_left == 0) {
        return velloran::same_position(board, target)
               && board.halfmove_clock() == target.halfmove_clock();
    }
    const Color mover = board.side_to_move();
    const Color other = mover == Color::White ? Color::Black : Color::White;
    if (missing_pieces(board, target, mover) > (plies_left + 1) / 2
        || missing_pieces(board, target, other) > plies_left / 2) {
        return false;
    }
    for (const Move move : board.legal_moves()) {
        Board next = board;
        next.play(move);
        path.push_back(move);
        if (find_plies(next, target, plies_left - 1, path)) return true;
        path.pop_back();
    }
    return false;
}

// Plies from the standard start to the opening position (they may transpose the generator's
// own), so the game can be written from the start and any PGN reader can replay it.
std::optional<std::vector<Move>> plies_to(const std::string& fen) {
    const velloran::Result<Game> target = Game::from_fen(fen, false);
    if (!target) return std::nullopt;
    const Board& board = target.value().board();
    // Openings are a few plies deep: the count always fits.
    const auto plies = static_cast<int>(2 * (board.fullmove_number() - 1)
                                        + (board.side_to_move() == Color::Black ? 1 : 0));
    std::vector<Move> path;
    if (!find_plies(Board::startpos(), board, plies, path)) return std::nullopt;
    Game game = Game::new_game();
    for (const Move move : path) game.play(move);
    if (game.to_fen() != fen) return std::nullopt;
    return path;
}

char piece_letter(Piece piece) { return "PNBRQK"[velloran::index(piece)]; }

// Standard algebraic notation of a legal move of the game.
std::string san(const Game& game, Move move) {
    const Board& board = game.board();
    const Color us = board.side_to_move();
    const Piece piece = *board.piece_at(move.from);
    std::string text;
    if (piece == Piece::King && board.pieces(us, Piece::Rook).contains(move.to)) {
        text = velloran::file_of(move.to) > velloran::file_of(move.from) ? "O-O" : "O-O-O";
    } else {
        const bool capture =
            board.piece_at(move.to).has_value()
            || (piece == Piece::Pawn && velloran::file_of(move.from) != velloran::file_of(move.to));
        if (piece == Piece::Pawn) {
            if (capture) text += velloran::to_char(velloran::file_of(move.from));
        } else {
            text += piece_letter(piece);
            bool same_file = false;
            bool same_rank = false;
            bool ambiguous = false;
            for (const Move other : game.legal_moves()) {
                if (other.to != move.to || other.from == move.from
                    || board.piece_at(other.from) != piece) {
                    continue;
                }
                ambiguous = true;
                same_file =
                    same_file || velloran::file_of(other.from) == velloran::file_of(move.from);
                same_rank =
                    same_rank || velloran::rank_of(other.from) == velloran::rank_of(move.from);
            }
            if (ambiguous && (!same_file || same_rank)) {
                text += velloran::to_char(velloran::file_of(move.from));
            }
            if (ambiguous && same_file) text += velloran::to_char(velloran::rank_of(move.from));
        }
        if (capture) text += 'x';
        text += velloran::to_string(move.to);
        if (move.promotion) {
            text += '=';
            text += piece_letter(*move.promotion);
        }
    }
    Game after = game;
    after.play(move);
    if (after.board().checkers().any()) text += after.legal_moves().empty() ? "#" : "+";
    return text;
}

struct GameRecord {
    std::vector<std::string> san_moves;
    std::string result = "*";
    std::string termination;
};

// The result and its reason for a finished position; absent while the game goes on.
std::optional<std::pair<std::string, std::string>> outcome(const Game& game) {
    switch (game.status()) {
        case GameStatus::Ongoing:
            return std::nullopt;
        case GameStatus::Checkmate:
            return std::pair<std::string, std::string>{
                game.board().side_to_move() == Color::White ? "0-1" : "1-0", "checkmate"};
        case GameStatus::Stalemate:
            return std::pair<std::string, std::string>{"1/2-1/2", "stalemate"};
        case GameStatus::InsufficientMaterial:
            return std::pair<std::string, std::string>{"1/2-1/2", "insufficient material"};
        case GameStatus::ThreefoldRepetition:
        case GameStatus::FivefoldRepetition:
            return std::pair<std::string, std::string>{"1/2-1/2", "repetition"};
        case GameStatus::FiftyMoveRule:
        case GameStatus::SeventyFiveMoveRule:
            return std::pair<std::string, std::string>{"1/2-1/2", "fifty-move rule"};
    }
    return std::nullopt;
}

class Match {
public:
    explicit Match(const Options& options) : options_(options) {}

    // Handshake with both engines; false when one does not answer it.
    bool start() {
        engines_.clear();
        for (const auto* arguments : {&options_.white_args, &options_.black_args}) {
            std::vector<std::string> all = *arguments;
            if (options_.cecp) all.insert(all.end(), {"--proto", "cecp"});
            engines_.push_back(std::make_unique<Engine>(options_.engine, all));
        }
        for (auto& engine : engines_) {
            if (options_.cecp) {
                engine->send("xboard");
                engine->send("protover 2");
                if (!read_until(*engine, "feature ")) return false;
            } else {
                engine->send("uci");
                if (!read_until(*engine, "uciok")) return false;
            }
        }
        return true;
    }

    // Plays one game; absent when an engine fails (no answer or an illegal move).
    std::optional<GameRecord> play(const std::vector<Move>& opening, bool swap_colours) {
        GameRecord record;
        Game game = Game::new_game();
        std::vector<std::string> texts;
        for (const Move move : opening) {
            record.san_moves.push_back(san(game, move));
            texts.push_back(game.move_text(move));
            game.play(move);
        }
        if (options_.cecp) {
            for (auto& engine : engines_) {
                engine->send("new");
                for (const std::string& text : texts) engine->send("usermove " + text);
            }
        } else {
            for (auto& engine : engines_) engine->send("ucinewgame");
        }
        for (int ply = 0; ply < options_.max_plies; ++ply) {
            if (const auto end = outcome(game)) {
                record.result = end->first;
                record.termination = end->second;
                return record;
            }
            const bool white = game.board().side_to_move() == Color::White;
            Engine& mover = *engines_[(white != swap_colours) ? 0 : 1];
            Engine& other = *engines_[(white != swap_colours) ? 1 : 0];
            std::optional<std::string> text;
            if (options_.cecp) {
                mover.send("go");
                if (const auto line = read_until(mover, "move ")) text = line->substr(5);
            } else {
                std::string position = "position startpos";
                if (!texts.empty()) position += " moves";
                for (const std::string& played : texts) position += " " + played;
                mover.send(position);
                mover.send("go wtime 60000 btime 60000");
                if (const auto line = read_until(mover, "bestmove ")) text = line->substr(9);
            }
            if (!text) {
                std::cerr << "no move at ply " << texts.size() + 1 << " in " << game.to_fen()
                          << "\n";
                return std::nullopt;
            }
            const auto move = game.parse_move(*text);
            if (!move) {
                std::cerr << move.error().text << " in " << game.to_fen() << "\n";
                return std::nullopt;
            }
            record.san_moves.push_back(san(game, move.value()));
            texts.push_back(*text);
            game.play(move.value());
            if (options_.cecp) other.send("usermove " + *text);
        }
        record.termination = "ply limit";
        return record;
    }

private:
    const Options& options_;
    std::vector<std::unique_ptr<Engine>> engines_;
};

std::string pgn_game(const Options& options, int round, bool swap_colours,
                     const std::string& opening_fen, const GameRecord& record) {
    const std::string white = swap_colours ? "B" : "A";
    const std::string black = swap_colours ? "A" : "B";
    std::ostringstream out;
    out << "[Event \"pawnlark match\"]\n[Site \"?\"]\n[Date \"????.??.??\"]\n"
        << "[Round \"" << round << "\"]\n"
        << "[White \"pawnlark " << white << "\"]\n[Black \"pawnlark " << black << "\"]\n"
        << "[Result \"" << record.result << "\"]\n"
        << "[Opening \"genfens seed " << options.seed << ": " << opening_fen << "\"]\n"
        << "[Termination \"" << record.termination << "\"]\n"
        << "[PlyCount \"" << record.san_moves.size() << "\"]\n\n";
    std::string line;
    for (std::size_t i = 0; i < record.san_moves.size(); ++i) {
        std::string word;
        if (i % 2 == 0) word = std::to_string(i / 2 + 1) + ". ";
        word += record.san_moves[i];
        if (!line.empty() && line.size() + 1 + word.size() > 79) {
            out << line << "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty() && line.size() + 1 + record.result.size() > 79) {
        out << line << "\n";
        line.clear();
    }
    out << line << (line.empty() ? "" : " ") << record.result << "\n\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = read_options(argc, argv);
    if (!options) {
        std::cerr << "usage: pawnlark-match --engine PATH [--proto uci|cecp] [--games N] "
                     "[--seed S] [--pgn FILE] [--max-plies N] [--white-args \"...\"] "
                     "[--black-args \"...\"]\n";
        return 2;
    }

    // Openings: one per pair of games, each pair played with both colour assignments.
    const int pairs = (options->games + 1) / 2;
    pawnlark::OpeningGenerator generator(options->seed);
    std::vector<std::string> fens;
    std::vector<std::vector<Move>> openings;
    for (int i = 0; i < pairs; ++i) {
        fens.push_back(generator.next_fen());
        std::optional<std::vector<Move>> plies = plies_to(fens.back());
        if (!plies) {
            std::cerr << "no plies from the start lead to opening " << i + 1 << ", " << fens.back()
                      << "\n";
            return 1;
        }
        openings.push_back(std::move(*plies));
    }

    std::ofstream pgn(options->pgn);
    Match match(*options);
    if (!match.start()) {
        std::cerr << "an engine did not finish its handshake\n";
        return 1;
    }
    int score_a = 0;  // in half points
    for (int round = 1; round <= options->games; ++round) {
        const int pair = (round - 1) / 2;
        const bool swap_colours = round % 2 == 0;
        const auto record = match.play(openings[pair], swap_colours);
        if (!record) return 1;
        pgn << pgn_game(*options, round, swap_colours, fens[pair], *record);
        const bool a_white = !swap_colours;
        if (record->result == "1-0") score_a += a_white ? 2 : 0;
        if (record->result == "0-1") score_a += a_white ? 0 : 2;
        if (record->result == "1/2-1/2" || record->result == "*") score_a += 1;
        std::cout << "game " << round << ": " << record->result << " (" << record->termination
                  << ", " << record->san_moves.size() << " plies)\n";
    }
    std::cout << "A " << score_a / 2.0 << " - B " << options->games - score_a / 2.0 << "\n";
    return pgn ? 0 : 1;
}
