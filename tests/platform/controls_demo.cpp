// SPDX-License-Identifier: GPL-3.0-or-later
// Opens one window with every kind of control at the sizes the program uses, with its
// tightest texts, and saves the window as a PNG: a picture to check by eye that controls
// sit at their places and texts fit.
//   controls_demo <file.png> [seconds to stay open, e.g. for a screenshot of the screen]
#include <cstdio>
#include <string>

#include "platform/qt/qt_window_services.h"
#include "platform/system.h"

using namespace tavlora;

namespace {

int Add(WindowServices& ws, int window, ControlKind kind, Rect geometry, const std::string& text,
        unsigned options = NoOptions, int parent = -1, int page = 0) {
    return ws.CreateControl(
        ControlSpec{window, parent, page, kind, AssignId, geometry, text, options});
}

// A small board corner, so the image control and the drawing layer's text show.
int DrawSample(WindowServices& ws) {
    const int picture = ws.CreatePicture(120, 120);
    ws.FillBox(picture, Rect{0, 0, 120, 120}, 0x000000);
    for (int x = 0; x < 2; ++x) {
        for (int y = 0; y < 2; ++y) {
            ws.FillBox(picture, Rect{50 * x, 50 * y, 50, 50}, (x + y) % 2 ? 0x606060 : 0xC0C0C0);
        }
    }
    ws.OutlineBox(picture, Rect{55, 55, 40, 40}, 0x0000FF);
    for (int k = 0; k < 2; ++k) {
        const std::string file(1, static_cast<char>('a' + k));
        ws.DrawText(picture, 50 * k + (50 - ws.TextWidth(file)) / 2, 103, file, 0xFFFFFF, 0);
        ws.DrawText(picture, 108, 50 * (1 - k) + 18, std::to_string(k + 1), 0xFFFFFF, 0);
    }
    return picture;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: controls_demo <file.png> [seconds]\n");
        return 2;
    }
    QtWindowServices ws(argc, argv);
    const int window =
        ws.OpenWindow(WindowSpec{AssignId, false, 0, 0, 860, 470, "Tavlora - Steuerelemente"});

    // The settings window's tab panel with its tightest label and button.
    const int tabs = Add(ws, window, ControlKind::TabPanel, Rect{10, 40, 240, 350}, "");
    for (const char* title : {"Server", "Client", "Einzelspieler"}) {
        ws.AddTabPage(tabs, title);
    }
    Add(ws, window, ControlKind::Text, Rect{10, 13, 50, 15}, "Name:");
    ws.SetText(Add(ws, window, ControlKind::TextField, Rect{60, 10, 190, 20}, ""), "Jörg");
    Add(ws, window, ControlKind::Text, Rect{18, 18, 200, 15}, "Maximale Anzahl Spieler:", NoOptions,
        tabs);
    Add(ws, window, ControlKind::TextField, Rect{18, 40, 200, 20}, "8", DigitsOnly, tabs);
    Add(ws, window, ControlKind::Text, Rect{18, 73, 200, 15},
        "Maximale Spielzeit pro Spieler:", NoOptions, tabs);
    Add(ws, window, ControlKind::TextField, Rect{18, 95, 140, 20}, "15", DigitsOnly | RightAligned,
        tabs);
    Add(ws, window, ControlKind::Text, Rect{168, 98, 60, 15}, "Minuten", NoOptions, tabs);
    Add(ws, window, ControlKind::Text, Rect{18, 128, 200, 15}, "IP-Adresse Server:", NoOptions,
        tabs);
    const int address =
        Add(ws, window, ControlKind::IPv4Field, Rect{18, 150, 200, 20}, "", NoOptions, tabs);
    ws.SetState(address, static_cast<int32_t>(0xC801A8C0u));  // 192.168.1.200
    Add(ws, window, ControlKind::Text, Rect{38, 270, 160, 15}, "Warte auf Daten des Servers...",
        Centred, tabs);
    Add(ws, window, ControlKind::Button, Rect{38, 290, 160, 20}, "Zum Server verbinden", NoOptions,
        tabs);

    // The lobby's lists, chat and buttons.
    const int games = Add(ws, window, ControlKind::ListView, Rect{260, 10, 400, 120}, "");
    ws.AddColumn(games, "Spiele", 165);
    ws.AddColumn(games, "Dran", 100);
    ws.AddColumn(games, "Zeit", 55);
    ws.AddColumn(games, "Spielzeit", 55);
    const char* rows[][4] = {{"Anna - Bernd", "Anna", "04:59", "14:31"},
                             {"(Beendet) Carla - Anna", "Carla", "00:00", "01:02:03"}};
    for (int r = 0; r < 2; ++r) {
        ws.AppendRow(games);
        for (int c = 0; c < 4; ++c) {
            ws.SetCellText(games, r, c, rows[r][c]);
        }
    }
    for (int c = 1; c < 4; ++c) {
        ws.SetCellColour(games, 0, c, 0x0000FF);
    }
    const int all =
        Add(ws, window, ControlKind::CheckBox, Rect{260, 135, 400, 15}, "Alle Spiele anzeigen");
    ws.SetState(all, 1);
    const int chat = Add(ws, window, ControlKind::TextOutput, Rect{260, 155, 400, 80}, "");
    ws.AppendLine(chat, "Anna: Hallo zusammen!");
    ws.AppendLine(chat, "Bernd: Grüß euch, wer spielt Weiß?");
    Add(ws, window, ControlKind::TextField, Rect{260, 240, 330, 20}, "Gleich geht's los");
    Add(ws, window, ControlKind::Button, Rect{600, 240, 60, 20}, "Senden");
    const int ready = Add(ws, window, ControlKind::ToggleButton, Rect{530, 265, 130, 20}, "Bereit");
    ws.SetState(ready, 1);

    // The Game window's panel parts: image, move list, frames with clocks, status, buttons.
    const int panel = Add(ws, window, ControlKind::Container, Rect{260, 290, 590, 180}, "");
    ws.SetImage(Add(ws, window, ControlKind::Image, Rect{0, 0, 0, 0}, "", NoOptions, panel),
                DrawSample(ws));
    Add(ws, window, ControlKind::Text, Rect{130, 0, 120, 15}, "Vergangene Züge:", NoOptions, panel);
    const int moves =
        Add(ws, window, ControlKind::ListBox, Rect{130, 18, 130, 100}, "", NoOptions, panel);
    for (const char* move : {"1. e2-e4", "  e7-e5", "2. Sg1-f3", "  Sb8-c6"}) {
        ws.AppendItem(moves, move);
    }
    ws.SetState(moves, 3);
    const int large = ws.CreateFont("MS Sans Serif", 14, true);
    const int small = ws.CreateFont("MS Sans Serif", 10, true);
    Add(ws, window, ControlKind::Text, Rect{270, 0, 130, 15}, "Anna:", NoOptions, panel);
    Add(ws, window, ControlKind::FrameBox, Rect{270, 15, 130, 35}, "", NoOptions, panel);
    Add(ws, window, ControlKind::FrameBox, Rect{270, 55, 130, 35}, "", NoOptions, panel);
    ws.SetFont(
        Add(ws, window, ControlKind::Text, Rect{275, 20, 120, 25}, "1:02:03", Centred, panel),
        large);
    ws.SetFont(Add(ws, window, ControlKind::Text, Rect{275, 63, 120, 25}, "04:59", Centred, panel),
               small);
    const int promotion =
        Add(ws, window, ControlKind::DropDown, Rect{410, 15, 100, 20}, "", NoOptions, panel);
    for (const char* item : {"Wähle Figur...", "Dame", "Läufer", "Turm", "Springer"}) {
        ws.AppendItem(promotion, item);
    }
    ws.SetState(promotion, 0);
    ws.SetFont(Add(ws, window, ControlKind::Text, Rect{130, 125, 280, 20},
                   "Schach - Bernd(Schwarz) am Zug", NoOptions, panel),
               small);
    Add(ws, window, ControlKind::Button, Rect{130, 150, 160, 20}, "Remis akzeptieren", NoOptions,
        panel);
    Add(ws, window, ControlKind::Button, Rect{300, 150, 110, 20}, "Remis vorschlagen", NoOptions,
        panel);
    Add(ws, window, ControlKind::Button, Rect{420, 150, 110, 20}, "Spiel aufgeben", NoOptions,
        panel);

    const int seconds = argc > 2 ? std::stoi(argv[2]) : 0;
    const uint32_t start = TickCount();
    do {
        ws.WaitEvent(10);
    } while (TickCount() - start < static_cast<uint32_t>(seconds) * 1000u);
    if (!ws.GrabWindow(window, argv[1])) {
        std::fprintf(stderr, "controls_demo: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
