// SPDX-License-Identifier: GPL-3.0-or-later
#include "gamewindow/clocks.h"

#include "gamewindow/panel_texts.h"

namespace tavlora {

namespace {

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
