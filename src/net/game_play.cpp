// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/game_play.h"

#include <cassert>

#include "net/game_tick.h"
#include "net/senders.h"
#include "rules/execute.h"

namespace tavlora {

void BeginGames(ProgramState& state, NetView& view, std::span<const int32_t> colours) {
    assert(state.PlayPhase != GamesStartedPhase);
    assert(colours.size() == static_cast<size_t>(PairCount(state.PlayerCount)));
    size_t pair = 0;
    for (int32_t i = 0; i + 1 < state.PlayerCount; ++i) {
        for (int32_t j = i + 1; j < state.PlayerCount; ++j) {
            const bool jIsWhite = colours[pair++] != 0;
            Game& game = CreateGame(state.Games, jIsWhite ? j : i, jIsWhite ? i : j, White, state);
            state.KeyedGames.Add(game);
        }
    }
    state.PlayPhase = GamesStartedPhase;
    view.ShowGamesStarted();
}

std::optional<Move> MatchLegalMove(const Game& game, const Move& received) {
    for (const Move& legal : game.Moves) {
        if (legal.FromX != received.FromX || legal.FromY != received.FromY ||
            legal.ToX != received.ToX || legal.ToY != received.ToY || legal.Kind != received.Kind) {
            continue;
        }
        Move move = legal;
        if (move.Promotion == PromotionPending) {
            if (received.Promotion < Bishop || received.Promotion > Queen) {
                return std::nullopt;
            }
            move.Promotion = received.Promotion;
        }
        return move;
    }
    return std::nullopt;
}

void PlayReceivedMove(ProgramState& state, NetView& view, Game& game, int32_t playerTimeLeft,
                      int32_t moveTimeLeft, const Move& move) {
    game.PlayerTimeLeft[game.SideToMove] = playerTimeLeft;
    game.MoveTimeLeft[game.SideToMove] = moveTimeLeft;
    ExecuteMove(game, move, state);
    GameChanged(state, game);
    view.GameMoved(game);
}

void PlayOwnMove(ProgramState& state, Game& game, const Move& move) {
    SendMove(state, game, move);
    ExecuteMove(game, move, state);
    GameChanged(state, game);
}

void EndOnTime(ProgramState& state, Game& game, int32_t side, int32_t playerTimeLeft,
               int32_t moveTimeLeft) {
    if (side >= 0) {
        game.SideToMove = side;
    }
    game.PlayerTimeLeft[game.SideToMove] = playerTimeLeft;
    game.MoveTimeLeft[game.SideToMove] = moveTimeLeft;
    game.State = TimeOut;
    GameChanged(state, game);
}

void AgreeDraw(ProgramState& state, Game& game) {
    game.State = DrawAgreed;
    GameChanged(state, game);
}

void Resign(ProgramState& state, Game& game, int32_t side) {
    game.State = Resigned;
    game.SideToMove = side;
    GameChanged(state, game);
}

void PresenceChanged(ProgramState& state, int32_t participant) {
    for (Game& game : state.Games) {
        if (SideOf(game, participant) >= 0) {
            state.Changes.Note(game);
        }
    }
}

void ParticipantLeft(ProgramState& state, int32_t leaver) {
    state.Players[static_cast<size_t>(leaver)].Left = true;
    // A game that had ended keeps its end: its result may already be counted and saved.
    for (Game& game : state.Games) {
        const int32_t side = SideOf(game, leaver);
        if (side >= 0 && IsRunning(game)) {
            Resign(state, game, side);
        }
    }
}

}  // namespace tavlora
