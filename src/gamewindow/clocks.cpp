// Game clocks, the clock text and the clock labels.
#include "gamewindow/clocks.h"

#include <algorithm>

#include "gamewindow/panel_texts.h"
#include "net/senders.h"

namespace tavlora {

namespace {

constexpr int32_t MillisecondsPerSecond = 1000;

// The players' boxes: White's at the top, Black's this much lower.
constexpr int BoxSpacing = 105;
constexpr int BoxLeft = 450;
constexpr int BoxWidth = 130;
constexpr int NameTop = 235;
constexpr int NameHeight = 15;
constexpr int PlayerFrameTop = 250;
constexpr int MoveFrameTop = 290;
constexpr int FrameHeight = 35;
// The labels sit 5 pixels inside their frames.
constexpr int LabelLeft = 455;
constexpr int LabelWidth = 120;
constexpr int LabelHeight = 25;
constexpr int PlayerLabelTop = 255;
constexpr int MoveLabelTop = 295;
// The labels of the side not to move sit this much lower than their base position.
constexpr int EmphasisDrop = 3;

// The tick count of one game tick, read when a clock first needs it and then kept: every
// clock is brought up to the same moment, and thousands of games cost one reading, not two
// each. Without a running clock it is never read.
class TickOfPass {
public:
    explicit TickOfPass(const TickSource& source) : source_(source) {}
    uint32_t operator()() {
        if (!read_) {
            now_ = source_();
            read_ = true;
        }
        return now_;
    }

private:
    const TickSource& source_;
    bool read_ = false;
    uint32_t now_ = 0;
};

// Counts whole seconds up to the current tick count. A second counts only once more than
// 1000 ms have passed, and the stamp then advances by exactly 1000, so an uncounted fraction
// carries over to the next turn instead of being charged to the mover or lost.
void CountDown(int32_t& left, uint32_t& stamp, TickOfPass& now) {
    // Tested once: after a long pause the clock is caught up in one go, possibly below 0.
    if (left <= 0) {
        return;
    }
    while (static_cast<int32_t>(now() - stamp) > MillisecondsPerSecond) {
        stamp += MillisecondsPerSecond;
        --left;
    }
}

bool OutOfTime(const Game& game, int32_t side, const ProgramState& state) {
    return (state.TimeByPlayer > 0 && game.PlayerTimeLeft[side] <= 0) ||
           (state.TimeByMove > 0 && game.MoveTimeLeft[side] <= 0);
}

// Winner or draw of a finished game; in every lost game SideToMove is the losing side.
int32_t ResultOf(const Game& game) {
    if (game.State == Stalemate || game.State == DrawAgreed) {
        return Draw;
    }
    return 1 - game.SideToMove;
}

Rect LabelRect(int top, int32_t colour, int32_t sideToMove) {
    const int base = top + BoxSpacing * colour;
    return {LabelLeft, colour == sideToMove ? base : base + EmphasisDrop, LabelWidth, LabelHeight};
}

// The side to move gets LargeFont at the base position, the other side SmallFont 3 pixels
// lower.
void Emphasise(WindowServices& services, GameView& view, const PanelFonts& fonts,
               int32_t sideToMove) {
    for (int32_t colour : {White, Black}) {
        const int font = fonts[colour == sideToMove ? LargeFontNumber : SmallFontNumber];
        services.SetFont(view.PlayerClockLabel[colour], font);
        services.SetFont(view.MoveClockLabel[colour], font);
        services.SetGeometry(view.PlayerClockLabel[colour],
                             LabelRect(PlayerLabelTop, colour, sideToMove));
        services.SetGeometry(view.MoveClockLabel[colour],
                             LabelRect(MoveLabelTop, colour, sideToMove));
    }
    view.EmphasisedSide = sideToMove;
}

int CreateClockLabel(WindowServices& services, int window, int panel, int top, int32_t seconds,
                     ShownClock& shown) {
    shown = {seconds, FormatClock(seconds)};
    return services.CreateControl({.Window = window,
                                   .Parent = panel,
                                   .Kind = ControlKind::Text,
                                   .Geometry = {LabelLeft, top, LabelWidth, LabelHeight},
                                   .Text = shown.Text,
                                   .Options = Centred});
}

void ShowClock(WindowServices& services, int label, ShownClock& shown, int32_t seconds) {
    if (seconds == shown.Seconds) {
        return;
    }
    shown.Seconds = seconds;
    std::string text = FormatClock(seconds);
    if (text != shown.Text) {
        services.SetText(label, text);
        shown.Text = std::move(text);
    }
}

}  // namespace

std::string FormatClock(int32_t seconds) {
    // Built digit by digit: the games list formats thousands of clocks every second.
    const int32_t t = std::max(seconds, 0);
    std::string text;
    const auto two = [&text](int32_t value) {
        text += static_cast<char>('0' + value / 10);
        text += static_cast<char>('0' + value % 10);
    };
    if (t >= 3600) {
        two(t / 3600 % 24);
        text += ':';
    }
    two(t / 60 % 60);
    text += ':';
    two(t % 60);
    return text;
}

void RunGameTick(ProgramState& state) {
    TickOfPass now(state.TickCount);
    for (Game& game : state.Games) {
        if (game.State <= Check) {
            const int32_t side = game.SideToMove;
            CountDown(game.MoveTimeLeft[side], game.MoveClockStamp[side], now);
            CountDown(game.PlayerTimeLeft[side], game.PlayerClockStamp[side], now);
            // Only the program of the player to move declares the time-out; the others count
            // for display and learn it from MsgTimeout.
            if (game.PlayerIndex[side] == state.OwnPlayerIndex && OutOfTime(game, side, state)) {
                game.State = TimeOut;
                SendMove(state, game, nullptr);
            }
        }
        if (game.State > Check && game.Result == Undecided) {
            game.Result = ResultOf(game);
        }
    }
}

void BuildClockLabels(WindowServices& services, const ProgramState& state, int window,
                      GameView& view, const PanelFonts& fonts) {
    for (int32_t colour : {White, Black}) {
        const int d = BoxSpacing * colour;
        services.CreateControl({.Window = window,
                                .Parent = view.Panel,
                                .Kind = ControlKind::Text,
                                .Geometry = {BoxLeft, NameTop + d, BoxWidth, NameHeight},
                                .Text = PlayerName(state, view.Game->PlayerIndex[colour]) + ":"});
        for (int top : {PlayerFrameTop, MoveFrameTop}) {
            services.CreateControl({.Window = window,
                                    .Parent = view.Panel,
                                    .Kind = ControlKind::FrameBox,
                                    .Geometry = {BoxLeft, top + d, BoxWidth, FrameHeight}});
        }
        view.PlayerClockLabel[colour] =
            CreateClockLabel(services, window, view.Panel, PlayerLabelTop + d,
                             state.TimeByPlayer * 60, view.ShownPlayerClock[colour]);
        view.MoveClockLabel[colour] =
            CreateClockLabel(services, window, view.Panel, MoveLabelTop + d, state.TimeByMove * 60,
                             view.ShownMoveClock[colour]);
    }
    Emphasise(services, view, fonts, view.Game->SideToMove);
}

void RefreshClockLabels(WindowServices& services, GameView& view, const PanelFonts& fonts) {
    const Game& game = *view.Game;
    for (int32_t colour : {White, Black}) {
        ShowClock(services, view.MoveClockLabel[colour], view.ShownMoveClock[colour],
                  game.MoveTimeLeft[colour]);
        ShowClock(services, view.PlayerClockLabel[colour], view.ShownPlayerClock[colour],
                  game.PlayerTimeLeft[colour]);
    }
    // Fonts and positions change only with the side to move.
    if (view.EmphasisedSide != game.SideToMove) {
        Emphasise(services, view, fonts, game.SideToMove);
    }
}

}  // namespace tavlora
