// SPDX-License-Identifier: GPL-3.0-or-later
// A headless participant of network play: joins a server with the program's own handshake,
// announces its name, declares itself ready, and from the start on keeps only its own games,
// in which it plays what it is asked to: a random legal move (promotions included), a draw
// offer or a resignation. Built on the program's transport, codec, referee rules and clocks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/net_view.h"
#include "net/program_state.h"
#include "rules/clock.h"

namespace tavlora {

class Bot;

// What a bot tells the one who drives it.
class BotEvents {
public:
    virtual ~BotEvents() = default;
    // The bot is to move in game: at the start, or after the opponent's move.
    virtual void TurnStarted(Bot& bot, Game& game) = 0;
    // The bot has sent its move in the game (white, black).
    virtual void MoveSent(const Bot& bot, int32_t white, int32_t black) = 0;
    // A move of someone else, in any game, has arrived from the server.
    virtual void MoveReceived(const Bot& bot, int32_t white, int32_t black) = 0;
    // The server's relay of the bot's own chat line has come back to it.
    virtual void LineReturned(Bot& bot, const std::string& line) = 0;
};

// Chances between 0 and 1.
struct BotChances {
    double DrawOffer = 0;     // per turn: offer a draw first (the turn stays with the bot)
    double DrawAccept = 0.5;  // per offer of an opponent
    double Resign = 0;        // per turn: resign instead of moving
};

enum class BotAction { Nothing, Moved, OfferedDraw, Resigned };

enum class BotConduct {
    Honest,
    Silent,  // reads and counts its clocks, but never acts nor declares its own time-out
    Hung,    // neither acts nor counts its clocks: a program whose main loop stands still
};

enum class BotPhase {
    Joining,    // connected, waiting for the welcome
    Lobby,      // named and ready, waiting for the start
    Playing,    // its games exist
    Away,       // its connection dropped; it neither reads nor acts
    Returning,  // connected anew with its ticket, waiting to be welcomed back
    Gone,       // refused, or the connection ended; Error() says why
};

class Bot {
public:
    // Its clocks count on ticks, the system's tick counter unless told otherwise.
    Bot(std::string name, const BotChances& chances, BotEvents& events,
        TickSource ticks = TickCount);
    Bot(const Bot&) = delete;
    Bot& operator=(const Bot&) = delete;

    // Connects to a dotted IPv4 address, waiting a bounded time; false (and Gone) when no
    // connection stands.
    bool Connect(const std::string& dottedAddress, uint16_t port);
    // Handles every message that has arrived: the join, the lobby, the start and the games.
    void Service();
    // Acts on the bot's turn in game: resigns, offers a draw, or moves, as the chances fall.
    // Nothing when the game has ended or is not the bot's to move. After a draw offer the
    // turn stays with the bot; it offers at most once per turn.
    BotAction Act(Game& game);
    // Plays a random legal move in game, which it is to move in: sends it with the clocks its
    // copy holds now, without counting them first, and executes it, as the board input does.
    void PlayMove(Game& game);
    // Sends a chat line, which the server relays to every client, the bot included.
    void Say(const std::string& line);
    // Counts the clocks of its games down, declares its own time-outs and settles results,
    // as the program's game tick does.
    void Tick();

    // Misbehaviour, for tests that the others are not fooled
    // From now on its moves report claim instead of the clocks it counts; none: the truth.
    void ClaimClocks(std::optional<ClockClaim> claim) { claim_ = claim; }
    // How it behaves from now on; back to Honest, it takes up the turns it holds.
    void SetConduct(BotConduct conduct);
    BotConduct Conduct() const { return conduct_; }
    // Bytes for the server as they are, whatever they say.
    void SendFrame(const Frame& frame);
    // The program is closed: its connection ends without a word.
    void Leave() { GiveUp("left"); }

    // The way back
    // Tells the server, in the lobby, that this program can come back; the server's ticket at
    // the start is kept.
    void AnnounceReturn();
    // The same, sent by the bot itself right after its join.
    void AnnounceReturnOnJoin() { announceOnJoin_ = true; }
    // The connection drops: the bot is Away, its games as they were, until Return. When the
    // server ends it, a bot with a ticket is away and tries to return at once.
    void Drop();
    // Connects anew and proves with its ticket who it is: Returning until the server welcomes it
    // back and brings its games up to date (Playing), or refuses (Gone). False when no
    // connection stands or it holds no ticket.
    bool Return();
    // Chat lines the server has relayed to it from participant index, its own included: a
    // driver can tell by them that the server has passed on everything said before.
    uint64_t ChatsFrom(int32_t index) const;
    // Every message that has arrived from the server.
    uint64_t MessagesReceived() const { return messagesReceived_; }

    const std::string& Name() const { return name_; }
    // The participant index; -1 until the welcome.
    int32_t Index() const { return state_.OwnPlayerIndex; }
    BotPhase Phase() const { return phase_; }
    const std::string& Error() const { return error_; }
    // Its own games only, in the order of the start message.
    const GamesList& Games() const { return state_.Games; }
    GamesList& Games() { return state_.Games; }
    const ProgramState& State() const { return state_; }
    // Told about the bot's socket as the transport opens and closes it.
    void SetSocketWatcher(SocketWatcher watcher) { state_.Network.SetSocketWatcher(watcher); }

private:
    // A bot shows nothing, and keeps only why it could not join.
    class SilentView final : public NetView {
    public:
        explicit SilentView(Bot& bot) : bot_(bot) {}
        void ShowNetworkError(const std::string& text) override { bot_.GiveUp(text); }

    private:
        Bot& bot_;
    };

    void Handle(const Message& message);
    // Before the server has welcomed it back, only the answer to its return counts.
    void HandleReturnAnswer(const Message& message);
    void StartGames(const MsgStartGames& start);
    void Moved(const MsgMove& move);
    void DrawOffered(const MsgDrawOffer& offer);
    void PlayerLeft(const MsgPlayerLeft& left);
    // The running game with the key in which the bot plays, or nullptr.
    Game* OwnRunningGame(const int32_t (&key)[2]);
    bool ToMove(const Game& game) const;
    bool Chance(double p);
    void GiveUp(const std::string& reason);

    std::string name_;
    BotChances chances_;
    BotEvents& events_;
    ProgramState state_;
    SilentView view_{*this};
    std::string address_;  // of the server, for the way back
    BotPhase phase_ = BotPhase::Joining;
    std::string error_;
    std::optional<ClockClaim> claim_;
    BotConduct conduct_ = BotConduct::Honest;
    std::vector<uint64_t> chatsFrom_;  // by sender index
    uint64_t messagesReceived_ = 0;
    bool announceOnJoin_ = false;
};

}  // namespace tavlora
