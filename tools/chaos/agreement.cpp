// SPDX-License-Identifier: GPL-3.0-or-later
#include "chaos/agreement.h"

#include <algorithm>
#include <cstdlib>

#include "rules/clock.h"

namespace tavlora {

namespace {

bool SameBoard(const Game& a, const Game& b) {
    for (int32_t x = 0; x < 8; ++x) {
        for (int32_t y = 0; y < 8; ++y) {
            const Square& p = a.Board[x][y];
            const Square& q = b.Board[x][y];
            // Colour and Moved of an empty square mean nothing.
            if (p.Piece != q.Piece ||
                (p.Piece != Empty && (p.Colour != q.Colour || p.Moved != q.Moved))) {
                return false;
            }
        }
    }
    return a.EnPassantFile == b.EnPassantFile;
}

// Whether copy holds the server's ended game plus one last move of own's, played on the way.
bool CrossedTheEnd(const Game& referee, const Game& copy, int32_t own) {
    const size_t played = referee.History.size();
    // White moves first: the move with an even number is White's.
    const int32_t mover = played % 2 == 0 ? White : Black;
    return !IsRunning(referee) && copy.History.size() == played + 1 && SideOf(copy, own) == mover &&
           std::equal(referee.History.begin(), referee.History.end(), copy.History.begin());
}

// The side that lost a game that ended with a loser; -1 for a running or drawn game.
int32_t Loser(const Game& game) {
    const bool lost = game.State == Checkmate || game.State == TimeOut || game.State == Resigned;
    return lost ? game.SideToMove : -1;
}

// Whether own's resignation was on its way when own's clock ran out on its copy: a client's
// resignation takes effect only when the server's echo comes back, so the copy ends on time
// while the server has the resignation, with the same loser.
bool RanOutWhileResigning(const Game& referee, const Game& copy, int32_t own) {
    return referee.State == Resigned && copy.State == TimeOut &&
           Loser(referee) == SideOf(copy, own) && Loser(copy) == Loser(referee);
}

}  // namespace

uint64_t GameKey(int32_t white, int32_t black) {
    return uint64_t{static_cast<uint32_t>(white)} << 32 | static_cast<uint32_t>(black);
}

RefereeGames::RefereeGames(const ProgramState& server) {
    for (const Game& game : server.Games) {
        games_.emplace(GameKey(game.PlayerIndex[White], game.PlayerIndex[Black]), &game);
    }
}

void RefereeGames::Compare(const GamesList& copy, int32_t own, const std::string& name,
                           ClockCheck clocks, Agreement& agreement) const {
    for (const Game& game : copy) {
        ++agreement.Compared;
        const std::string which = name + ", game " + std::to_string(game.PlayerIndex[White]) + "-" +
                                  std::to_string(game.PlayerIndex[Black]) + ": ";
        const auto found = games_.find(GameKey(game.PlayerIndex[White], game.PlayerIndex[Black]));
        if (found == games_.end()) {
            agreement.Mismatches.push_back(which + "not on the server");
            continue;
        }
        const Game& referee = *found->second;
        const bool crossed = CrossedTheEnd(referee, game, own);
        agreement.Crossings += crossed ? 1 : 0;
        std::string differs;
        if (!crossed && game.History != referee.History) {
            differs += " History (" + std::to_string(game.History.size()) + " moves, server " +
                       std::to_string(referee.History.size()) + ")";
        }
        if (!crossed && !SameBoard(game, referee)) {
            differs += " board";
        }
        // A crossing move that mated keeps its mate on its mover's board, whatever end the
        // server gave first; the winner must still be the same.
        const bool matedOnTheWay = crossed && game.State == Checkmate;
        if (game.State != referee.State && !matedOnTheWay &&
            !RanOutWhileResigning(referee, game, own)) {
            differs += " State " + std::to_string(game.State) + " (server " +
                       std::to_string(referee.State) + ")";
        }
        if (Loser(game) != Loser(referee) && !matedOnTheWay) {
            differs += " loser " + std::to_string(Loser(game)) + " (server " +
                       std::to_string(Loser(referee)) + ")";
        }
        if (game.Result != referee.Result) {
            differs += " Result " + std::to_string(game.Result) + " (server " +
                       std::to_string(referee.Result) + ")";
        }
        const int32_t side = SideOf(game, own);
        for (int32_t c : {White, Black}) {
            // After a crossing the turn had passed on the copy alone, restarting the other
            // side's move clock there.
            if (clocks == ClockCheck::None || (clocks == ClockCheck::Opponents && c == side) ||
                (crossed && c != side)) {
                continue;
            }
            if (std::abs(game.PlayerTimeLeft[c] - referee.PlayerTimeLeft[c]) >
                    ClockAllowanceSeconds ||
                std::abs(game.MoveTimeLeft[c] - referee.MoveTimeLeft[c]) > ClockAllowanceSeconds) {
                differs += " clocks of " + std::string(c == White ? "White" : "Black") + " " +
                           std::to_string(game.PlayerTimeLeft[c]) + "/" +
                           std::to_string(game.MoveTimeLeft[c]) + " (server " +
                           std::to_string(referee.PlayerTimeLeft[c]) + "/" +
                           std::to_string(referee.MoveTimeLeft[c]) + ")";
            }
        }
        if (!differs.empty()) {
            agreement.Mismatches.push_back(
                which + differs.substr(1) + "; on the server State " +
                std::to_string(referee.State) + " after " + std::to_string(referee.History.size()) +
                " moves, " + (referee.SideToMove == White ? "White" : "Black") + " to move");
        }
    }
}

}  // namespace tavlora
