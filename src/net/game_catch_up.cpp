// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/game_catch_up.h"

#include <algorithm>

#include "net/game_play.h"
#include "net/game_tick.h"
#include "rules/clock.h"
#include "rules/execute.h"

namespace tavlora {

namespace {

// FNV-1a over the moves' fields as they travel.
constexpr uint32_t DigestBasis = 2166136261u;
constexpr uint32_t DigestPrime = 16777619u;

uint32_t Mix(uint32_t digest, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        digest = (digest ^ ((bits >> shift) & 0xFF)) * DigestPrime;
    }
    return digest;
}

bool IsGameState(int32_t state) {
    return state >= Running && state <= Resigned;
}

// The copy starts anew and plays its own first plies moves again.
void Rebuild(ProgramState& state, Game& game, size_t plies) {
    const MoveList kept(game.History.begin(), game.History.begin() + static_cast<ptrdiff_t>(plies));
    SetUpGame(game, game.PlayerIndex[White], game.PlayerIndex[Black], game.BottomColour, state);
    for (const Move& move : kept) {
        ExecuteMove(game, move, state);
    }
}

// The checked message into keyed's game: false where it does not fit the copy.
bool TakeInto(ProgramState& state, NetView& view, KeyedGame& keyed, const MsgGameState& m) {
    Game& game = *keyed.Record;
    const auto first = static_cast<size_t>(m.FirstPly);
    if (first > game.History.size()) {
        return false;
    }
    const bool ended = !IsRunning(game);
    // A copy that holds more than the moves the server goes on from is set up anew from them;
    // so is one that has ended meanwhile (by a message relayed before this state) while the
    // server still has moves for it.
    const bool rebuilt = first < game.History.size() || (ended && !m.Moves.empty());
    if (rebuilt) {
        Rebuild(state, game, first);
    }
    for (const Move& sent : m.Moves) {
        const std::optional<Move> move =
            IsRunning(game) ? MatchLegalMove(game, sent) : std::nullopt;
        if (!move) {
            return false;
        }
        ExecuteMove(game, *move, state);
        if (!rebuilt) {
            view.GameMoved(game);
        }
    }
    if (game.History.size() < static_cast<size_t>(m.PlyCount)) {
        return true;  // more of its moves follow
    }

    // A running game's side to move follows from its moves; only an end may set it.
    if (m.State <= Check && m.SideToMove != game.SideToMove) {
        return false;
    }
    game.State = m.State;
    game.SideToMove = m.SideToMove;
    if (IsRunning(game)) {
        game.Result = Undecided;  // an end of its own that the server never had is undone
    }
    const uint32_t now = state.TimeByPlayer > 0 || state.TimeByMove > 0 ? state.TickCount() : 0;
    for (int32_t colour : {White, Black}) {
        game.PlayerTimeLeft[colour] = m.PlayerTimeLeft[colour];
        game.MoveTimeLeft[colour] = m.MoveTimeLeft[colour];
        game.PlayerClockStamp[colour] = game.MoveClockStamp[colour] = now;
        keyed.DrawOffered[colour] = (m.DrawOffers >> colour & 1) != 0;
    }
    if (rebuilt || (ended && IsRunning(game))) {
        view.GameReplaced(game);
    }
    const int32_t own = SideOf(game, state.OwnPlayerIndex);
    if (own >= 0 && IsRunning(game) && keyed.DrawOffered[1 - own]) {
        view.DrawOffered(game);
    }
    return true;
}

}  // namespace

int32_t HistoryDigest(std::span<const Move> moves) {
    uint32_t digest = DigestBasis;
    for (const Move& move : moves) {
        for (int32_t field :
             {move.FromX, move.FromY, move.ToX, move.ToY, move.Kind, move.Promotion, move.Piece}) {
            digest = Mix(digest, field);
        }
    }
    return static_cast<int32_t>(digest);
}

std::vector<HeldGame> HeldGames(const ProgramState& state) {
    std::vector<HeldGame> held;
    held.reserve(state.Games.size());
    for (const Game& game : state.Games) {
        held.push_back({{game.PlayerIndex[White], game.PlayerIndex[Black]},
                        static_cast<int32_t>(game.History.size()),
                        HistoryDigest(game.History)});
    }
    return held;
}

std::vector<MsgGameState> GameStateMessages(ProgramState& state, KeyedGame& keyed,
                                            const HeldGame* held) {
    Game& game = *keyed.Record;
    if (IsRunning(game) && state.TickCount) {
        TickOfPass now(state.TickCount);
        CountDownClocks(game, now);
        GameChanged(state, game);  // a second counted here is shown like one of the tick's
    }
    const std::span<const Move> history(game.History);
    size_t first = 0;
    if (held != nullptr && held->Plies >= 0 && static_cast<size_t>(held->Plies) <= history.size() &&
        HistoryDigest(history.first(static_cast<size_t>(held->Plies))) == held->Digest) {
        first = static_cast<size_t>(held->Plies);
    }
    MsgGameState message{
        .PlayerIndex = {game.PlayerIndex[White], game.PlayerIndex[Black]},
        .State = game.State,
        .SideToMove = game.SideToMove,
        .PlayerTimeLeft = {game.PlayerTimeLeft[White], game.PlayerTimeLeft[Black]},
        .MoveTimeLeft = {game.MoveTimeLeft[White], game.MoveTimeLeft[Black]},
        .DrawOffers = (keyed.DrawOffered[White] ? 1 : 0) | (keyed.DrawOffered[Black] ? 2 : 0),
        .PlyCount = static_cast<int32_t>(history.size()),
        .FirstPly = 0,
        .Moves = {},
    };
    std::vector<MsgGameState> messages;
    do {
        const size_t count = std::min(history.size() - first, MostMovesPerState);
        message.FirstPly = static_cast<int32_t>(first);
        message.Moves.assign(history.begin() + static_cast<ptrdiff_t>(first),
                             history.begin() + static_cast<ptrdiff_t>(first + count));
        messages.push_back(message);
        first += count;
    } while (first < history.size());
    return messages;
}

bool TakeGameState(ProgramState& state, NetView& view, const MsgGameState& m) {
    KeyedGame* keyed = state.KeyedGames.Find(m.PlayerIndex[White], m.PlayerIndex[Black]);
    if (keyed == nullptr || m.FirstPly < 0 || m.PlyCount < m.FirstPly ||
        static_cast<size_t>(m.PlyCount - m.FirstPly) < m.Moves.size() || !IsGameState(m.State) ||
        (m.SideToMove != White && m.SideToMove != Black)) {
        return false;
    }
    // However far the copy got, the tick and the windows learn of it.
    const bool taken = TakeInto(state, view, *keyed, m);
    GameChanged(state, *keyed->Record);
    return taken;
}

}  // namespace tavlora
