// pawnlark-match: plays complete games between two pawnlark processes, as a small tournament
// manager would, and writes them as PGN with SAN moves. Openings come from the engine's own
// "genfens"; the six plies that lead to each are found again from the same seed, so every game
// is written from the standard start and any PGN reader can replay it. Every move an engine
// sends is checked against a referee game; an illegal or missing move ends the run with status 1.
//
// Usage: pawnlark-match --engine PATH [--proto uci|cecp] [--games N] [--seed S]
//                       [--pgn FILE] [--max-plies N] [--white-args "..."] [--black-args "..."]

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/move_choice.h"
#include "app/openings.h"
#include "velloran/chess/game.h"
#include "velloran/random/random_generator.h"
#include "velloran/text.h"

namespace {

using velloran::Board;
using velloran::Color;
using velloran::Game;
using velloran::GameStatus;
using velloran::Move;
using velloran::Piece;

constexpr std::chrono::milliseconds ReplyTimeout{10000};

// One engine process on two pipes; the destructor ends it by its pid and reaps it.
class Engine {
public:
    Engine(const std::string& program, const std::vector<std::string>& arguments) {
        int to_child[2];
        int from_child[2];
        if (::pipe2(to_child, O_CLOEXEC) != 0 || ::pipe2(from_child, O_CLOEXEC) != 0) {
            throw_error("pipe");
        }
        pid_ = ::fork();
        if (pid_ < 0) throw_error("fork");
        if (pid_ == 0) {
            ::dup2(to_child[0], STDIN_FILENO);
            ::dup2(from_child[1], STDOUT_FILENO);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const std::string& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(to_child[0]);
        ::close(from_child[1]);
        in_ = to_child[1];
        out_ = from_child[0];
    }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;
    ~Engine() {
        ::close(in_);
        // A polite end first: the engine sees the end of its input.
        for (int i = 0; i < 50 && !reaped_; ++i) {
            reaped_ = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
            if (!reaped_) ::usleep(10000);
        }
        if (!reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
    }

    bool send(std::string_view line) const {
        std::string bytes(line);
        bytes += '\n';
        std::string_view rest = bytes;
        while (!rest.empty()) {
            const ssize_t written = ::write(in_, rest.data(), rest.size());
            if (written <= 0) return false;
            rest.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    }

    // The next line, without its line feed; absent at a timeout or the end of the output.
    std::optional<std::string> read_line() {
        const auto deadline = std::chrono::steady_clock::now() + ReplyTimeout;
        for (;;) {
            if (const auto end = buffer_.find('\n'); end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd ready{out_, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
            char chunk[4096];
            const ssize_t got = ::read(out_, chunk, sizeof chunk);
            if (got <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(got));
        }
    }

    // Lines up to and including the first that starts with `prefix`; absent if none came.
    std::optional<std::string> read_until(std::string_view prefix) {
        while (auto line = read_line()) {
            if (line->starts_with(prefix)) return line;
        }
        return std::nullopt;
    }

private:
    [[noreturn]] static void throw_error(const char* what) {
        std::perror(what);
        std::exit(2);
    }

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    bool reaped_ = false;
    std::string buffer_;
};

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

// The plies that lead from the start to each opening of "genfens COUNT seed SEED": the same
// draws from the same seed. Each replayed position must be the one the engine printed.
std::optional<std::vector<std::vector<Move>>> opening_moves(const std::vector<std::string>& fens,
                                                            std::uint64_t seed) {
    velloran::RandomGenerator generator = velloran::RandomGenerator::with_seed(seed);
    std::vector<std::vector<Move>> openings;
    for (const std::string& fen : fens) {
        Game game = Game::new_game();
        std::vector<Move> moves;
        for (int ply = 0; ply < pawnlark::OpeningPlies; ++ply) {
            const std::vector<Move> candidates = pawnlark::sorted_legal_moves(game);
            if (candidates.empty()) break;
            const Move move = candidates[generator.sample_range(0, candidates.size())];
            game.play(move);
            moves.push_back(move);
        }
        if (game.to_fen() != fen) {
            std::cerr << "opening " << openings.size() + 1 << " replays to " << game.to_fen()
                      << ", genfens printed " << fen << "\n";
            return std::nullopt;
        }
        openings.push_back(std::move(moves));
    }
    return openings;
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
                if (!engine->read_until("feature ")) return false;
            } else {
                engine->send("uci");
                if (!engine->read_until("uciok")) return false;
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
                if (const auto line = mover.read_until("move ")) text = line->substr(5);
            } else {
                std::string position = "position startpos";
                if (!texts.empty()) position += " moves";
                for (const std::string& played : texts) position += " " + played;
                mover.send(position);
                mover.send("go wtime 60000 btime 60000");
                if (const auto line = mover.read_until("bestmove ")) text = line->substr(9);
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
    ::signal(SIGPIPE, SIG_IGN);

    // Openings: one per pair of games, each pair played with both colour assignments.
    const int pairs = (options->games + 1) / 2;
    std::vector<std::string> fens;
    {
        Engine book(options->engine, {});
        book.send("genfens " + std::to_string(pairs) + " seed " + std::to_string(options->seed));
        for (int i = 0; i < pairs; ++i) {
            const auto line = book.read_until("info string genfens ");
            if (!line) {
                std::cerr << "genfens gave no opening " << i + 1 << "\n";
                return 1;
            }
            fens.push_back(line->substr(std::string_view("info string genfens ").size()));
        }
        book.send("quit");
    }
    const auto openings = opening_moves(fens, options->seed);
    if (!openings) return 1;

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
        const auto record = match.play((*openings)[pair], swap_colours);
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
