// SPDX-License-Identifier: GPL-3.0-or-later
// Move execution in its two forms, the legality filter and the check test they share.
#include "rules/execute.h"

#include <cassert>
#include <cstddef>

#include "rules/movegen.h"

namespace tavlora {

namespace {

// Clears the en passant file and changes the board as move's Kind says; a Kind this program
// does not know is played as a plain move.
void ChangeBoard(GameValue& game, const Move& move) {
    assert(SquareAt(game, move.FromX, move.FromY) && SquareAt(game, move.ToX, move.ToY));
    game.EnPassantFile = -1;
    Square& from = game.Board[move.FromX][move.FromY];
    switch (move.Kind) {
        case Castling: {
            const int32_t e = Sign(move.ToX - move.FromX);
            const int32_t rookFile = e >= 0 ? 7 : 0;
            assert(SquareAt(game, move.FromX + 2 * e, move.FromY));
            Square& rook = game.Board[rookFile][move.ToY];
            // The rook lands on the square the king passes over.
            Square& rookTo = game.Board[move.FromX + e][move.FromY];
            Square& kingTo = game.Board[move.FromX + 2 * e][move.FromY];
            rookTo = rook;
            kingTo = from;
            rookTo.Moved = 1;
            kingTo.Moved = 1;
            from.Piece = Empty;
            rook.Piece = Empty;
            break;
        }
        case EnPassant: {
            Square& to = game.Board[move.ToX][move.ToY];
            to = from;
            to.Moved = 1;
            from.Piece = Empty;
            game.Board[move.ToX][move.FromY].Piece = Empty;  // the pawn taken, beside the origin
            break;
        }
        default: {
            Square& to = game.Board[move.ToX][move.ToY];
            to = from;
            to.Moved = 1;
            from.Piece = Empty;
            if (to.Piece == Pawn && (move.ToY - move.FromY == 2 || move.FromY - move.ToY == 2)) {
                game.EnPassantFile = move.FromX;
            }
            if (move.Promotion >= 0) {
                to.Piece = move.Promotion;
            }
            break;
        }
    }
}

// Sets State to Check when a piece of SideToMove could take the opposing king, else to Running.
void TestCheck(GameValue& game) {
    game.State = Running;
    const int32_t opponent = 1 - game.SideToMove;
    for (int32_t x = 0; x < 8; ++x) {
        for (int32_t y = 0; y < 8; ++y) {
            const Square& square = game.Board[x][y];
            if (square.Piece == King && square.Colour == opponent &&
                Attacks(game, game.SideToMove, x, y)) {
                game.State = Check;
                return;
            }
        }
    }
}

// Whether move, played on trial as a copy of after (whose SideToMove is the mover's
// opponent), leaves the mover's king where the opponent cannot take it.
bool SafeAfter(const GameValue& after, const Move& move, GameValue& trial) {
    trial = after;
    ExecuteMove(trial, move, Probe);
    return trial.State != Check;
}

// Keeps those of moves, in order, after which the previous mover (SideToMove of after)
// cannot take the king of the side that played them, and tells whether any is left. This
// removes pinned pieces leaving their line, kings stepping next to kings, castling onto an
// attacked square, and an en passant capture that opens a line to the own king.
bool KeepLegalMoves(const GameValue& after, MoveList& moves, Lookahead& lookahead) {
    Lookahead::Guard trial(lookahead);
    std::size_t kept = 0;
    for (const Move& move : moves) {
        if (SafeAfter(after, move, trial->Position)) {
            moves[kept++] = move;
        }
    }
    moves.resize(kept);
    return kept > 0;
}

}  // namespace

void ExecuteMove(Game& game, const Move& move, RulesContext& context) {
    const Move played = move;  // move may live in a list that changes below
    game.History.push_back(played);
    ChangeBoard(game, played);
    PassTurn(game, context.Scratch);
    BeginTurn(game, context);
}

void ExecuteMove(GameValue& scratch, const Move& move, ProbeForm) {
    ChangeBoard(scratch, move);
    TestCheck(scratch);
}

bool IsLegalMove(const GameValue& position, const Move& move, Lookahead& lookahead) {
    Lookahead::Guard after(lookahead);
    Lookahead::Guard trial(lookahead);
    after->Position = position;
    after->Position.SideToMove = 1 - position.SideToMove;
    return SafeAfter(after->Position, move, trial->Position);
}

void PassTurn(Game& game, Lookahead& lookahead) {
    TestCheck(game);

    Lookahead::Guard after(lookahead);
    after->Position = static_cast<const GameValue&>(game);
    game.SideToMove = 1 - game.SideToMove;
    GenerateMoves(game, game.SideToMove, game.Moves, lookahead);

    if (!KeepLegalMoves(after->Position, game.Moves, lookahead)) {
        game.State = game.State == Check ? Checkmate : Stalemate;
    }
}

void BeginTurn(Game& game, RulesContext& context) {
    const int32_t side = game.SideToMove;
    if (context.TimeByPlayer > 0 || context.TimeByMove > 0) {
        assert(context.TickCount);
        const uint32_t now = context.TickCount();
        if (context.TimeByPlayer > 0) {
            game.PlayerClockStamp[side] = now;
        }
        if (context.TimeByMove > 0) {
            game.MoveTimeLeft[side] = context.TimeByMove * 60;
            game.MoveClockStamp[side] = now;
        }
    }
    if (context.TwoPlayersAtOneBoard) {
        context.OwnPlayerIndex = game.PlayerIndex[side];
    }
}

}  // namespace tavlora
