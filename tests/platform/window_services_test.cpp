// SPDX-License-Identifier: GPL-3.0-or-later
// The window services: the recording double and the Qt backend (offscreen) run the same
// cases, so logic tested against the double holds on the real windows; then what only one
// of them has: the double's test hooks, the socket wake-up, text drawing and fonts of Qt,
// and the tick counter, random source and host name.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <array>
#include <cstdio>
#include <memory>
#include <set>

#include "platform/qt/qt_window_services.h"
#include "platform/recording_window_services.h"
#include "platform/system.h"

namespace tavlora {
namespace {

// One QApplication for the whole binary, made before the first test.
class QtApplicationEnvironment : public testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "window_services_test";
        static char* argv[] = {name, nullptr};
        Application_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { Application_.reset(); }

private:
    std::unique_ptr<QApplication> Application_;
};

[[maybe_unused]] testing::Environment* const QtEnvironment =
    testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// The user's hand on each backend: the double's simulated actions, and on Qt the widgets'
// own actions, so the events come from the real signal connections.
struct DoubleBackend {
    RecordingWindowServices Services;

    bool Shown(int control) const { return Services.IsShown(control); }
    void Click(int control) { ASSERT_TRUE(Services.Click(control)); }
    void Pick(int control, int item) { ASSERT_TRUE(Services.PickItem(control, item)); }
    void SelectRow(int list, int row) { ASSERT_TRUE(Services.SelectRow(list, row)); }
    void SelectTab(int panel, int page) { ASSERT_TRUE(Services.SelectTab(panel, page)); }
    void PressCloseBox(int window) { Services.PressCloseBox(window); }
    void PressReturn(int window) { Services.PressReturn(window); }
    void PressKey(int window, int key) { Services.PressKey(window, key); }
    std::string Title(int window) const { return Services.Window(window)->Title; }
    int ClientHeight(int window) const { return Services.Window(window)->ClientH; }
};

struct QtBackend {
    static inline int Argc = 1;
    static inline char Name[] = "window_services_test";
    static inline char* Argv[] = {Name, nullptr};
    QtWindowServices Services{Argc, Argv};

    bool Shown(int control) const { return Services.ControlWidget(control)->isVisible(); }
    void Click(int control) {
        QWidget* widget = Services.ControlWidget(control);
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            button->click();
        } else {
            QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, 5));
        }
    }
    void Pick(int control, int item) {
        QWidget* widget = Services.ControlWidget(control);
        if (auto* box = qobject_cast<QComboBox*>(widget)) {
            box->setCurrentIndex(item);
            emit box->activated(item);  // what the open list sends when the user picks
        } else {
            qobject_cast<QListWidget*>(widget)->setCurrentRow(item);
        }
    }
    void SelectRow(int list, int row) {
        auto* view = qobject_cast<QTreeView*>(Services.ControlWidget(list));
        view->setCurrentIndex(view->model()->index(row, 0));
    }
    void SelectTab(int panel, int page) {
        qobject_cast<QTabWidget*>(Services.ControlWidget(panel))->setCurrentIndex(page);
    }
    void PressCloseBox(int window) { Services.WindowWidget(window)->close(); }
    void PressReturn(int window) {
        QWidget* widget = Services.WindowWidget(window);
        widget->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(widget));
        QTest::keyClick(widget, Qt::Key_Return);
    }
    // A key as the window system delivers it: to the widget with the keyboard focus.
    void PressKey(int window, int key) {
        QWidget* widget = Services.WindowWidget(window);
        widget->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(widget));
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : widget;
        switch (key) {
            case ReturnKey:
                QTest::keyClick(focus, Qt::Key_Return);
                break;
            case BackspaceKey:
                QTest::keyClick(focus, Qt::Key_Backspace);
                break;
            case EscapeKey:
                QTest::keyClick(focus, Qt::Key_Escape);
                break;
            default:
                QTest::keyClick(focus, static_cast<char>(key));
                break;
        }
    }
    std::string Title(int window) const {
        return Services.WindowWidget(window)->windowTitle().toStdString();
    }
    int ClientHeight(int window) const { return Services.WindowWidget(window)->height(); }
};

template <typename Backend>
class WindowServicesTest : public testing::Test {
protected:
    WindowServices& Ws() { return Backend_.Services; }

    int OpenTestWindow(int id = AssignId) {
        WindowSpec spec;
        spec.Id = id;
        spec.X = 20;
        spec.Y = 30;
        spec.ClientW = 400;
        spec.ClientH = 300;
        spec.Title = "Tavlora - Test";
        return Ws().OpenWindow(spec);
    }

    int Make(int window, ControlKind kind, Rect geometry, const std::string& text = "",
             unsigned options = NoOptions, int id = AssignId, int parent = -1, int page = 0) {
        ControlSpec spec;
        spec.Window = window;
        spec.Parent = parent;
        spec.Page = page;
        spec.Kind = kind;
        spec.Id = id;
        spec.Geometry = geometry;
        spec.Text = text;
        spec.Options = options;
        return Ws().CreateControl(spec);
    }

    // Every event that is waiting now, in order.
    std::vector<Event> DrainEvents() {
        std::vector<Event> events;
        for (Event event = Ws().WaitEvent(0); event.Kind != EventKind::None;
             event = Ws().WaitEvent(0)) {
            events.push_back(event);
        }
        return events;
    }

    Backend Backend_;
};

using Backends = testing::Types<DoubleBackend, QtBackend>;
class BackendNames {
public:
    template <typename T>
    static std::string GetName(int) {
        return std::is_same_v<T, DoubleBackend> ? "Double" : "Qt";
    }
};
TYPED_TEST_SUITE(WindowServicesTest, Backends, BackendNames);

TYPED_TEST(WindowServicesTest, FixedIdentifiersStandAndAssignedOnesAvoidThem) {
    WindowServices& ws = this->Ws();
    const int settings = this->OpenTestWindow(0);
    EXPECT_EQ(settings, 0);
    std::set<int> assigned;
    for (int fixed = 0; fixed <= 12; ++fixed) {
        EXPECT_EQ(this->Make(settings, ControlKind::Text, {0, 0, 10, 10}, "", NoOptions, fixed),
                  fixed);
    }
    const int game = this->OpenTestWindow();
    assigned.insert(game);
    for (int i = 0; i < 5; ++i) {
        assigned.insert(this->Make(game, ControlKind::Button, {0, 0, 10, 10}));
    }
    assigned.insert(ws.CreatePicture(4, 4));
    assigned.insert(ws.CreateFont("MS Sans Serif", 10, true));
    EXPECT_EQ(assigned.size(), 8u) << "assigned identifiers are unique across kinds";
    for (int id : assigned) {
        EXPECT_GE(id, FirstAssignedId);
    }
}

TYPED_TEST(WindowServicesTest, WindowsKeepTitleAndClientSize) {
    WindowServices& ws = this->Ws();
    const int lobby = this->OpenTestWindow(0);
    EXPECT_EQ(this->Backend_.Title(lobby), "Tavlora - Test");
    ws.SetWindowTitle(lobby, "Tavlora (Jörg - Ünal)");
    EXPECT_EQ(this->Backend_.Title(lobby), "Tavlora (Jörg - Ünal)");
    EXPECT_EQ(this->Backend_.ClientHeight(lobby), 300);
    ws.SetClientHeight(lobby, 625);
    EXPECT_EQ(this->Backend_.ClientHeight(lobby), 625);
    ws.HideWindow(lobby);
    ws.ShowWindow(lobby);
    EXPECT_EQ(this->Backend_.ClientHeight(lobby), 625);
}

TYPED_TEST(WindowServicesTest, ControlsKeepTextStateFontAndGeometry) {
    WindowServices& ws = this->Ws();
    const int window = this->OpenTestWindow();
    const int label = this->Make(window, ControlKind::Text, {10, 13, 50, 15}, "Name:");
    const int field = this->Make(window, ControlKind::TextField, {60, 10, 190, 20}, "",
                                 DigitsOnly | RightAligned);
    const int toggle = this->Make(window, ControlKind::ToggleButton, {280, 405, 130, 20}, "Bereit");
    const int check = this->Make(window, ControlKind::CheckBox, {10, 400, 300, 15}, "Alle");
    const int image = this->Make(window, ControlKind::Image, {10, 10, 1, 1});

    EXPECT_EQ(ws.Text(label), "Name:");
    ws.SetText(field, "42");  // the program may write what the user could not type
    EXPECT_EQ(ws.Text(field), "42");
    ws.SetText(label, "Größe & <b>Zug</b>");
    EXPECT_EQ(ws.Text(label), "Größe & <b>Zug</b>");
    ws.SetText(toggle, "Rock & Roll");
    EXPECT_EQ(ws.Text(toggle), "Rock & Roll");

    EXPECT_EQ(ws.State(toggle), 0);
    ws.SetState(toggle, 1);
    ws.SetState(check, 5);
    EXPECT_EQ(ws.State(toggle), 1);
    EXPECT_EQ(ws.State(check), 1);

    EXPECT_EQ(ws.Font(label), DefaultFont);
    const int large = ws.CreateFont("MS Sans Serif", 14, true);
    ws.SetFont(label, large);
    EXPECT_EQ(ws.Font(label), large);
    ws.SetFont(label, DefaultFont);
    EXPECT_EQ(ws.Font(label), DefaultFont);

    ws.SetGeometry(label, Rect{10, 16, 280, 20});
    const Rect moved = ws.Geometry(label);
    EXPECT_EQ(moved.X, 10);
    EXPECT_EQ(moved.Y, 16);
    EXPECT_EQ(moved.W, 280);
    EXPECT_EQ(moved.H, 20);

    // An image control takes the natural size of its picture; the picture may go afterwards.
    const int board = ws.CreatePicture(420, 420);
    ws.SetImage(image, board);
    ws.FreePicture(board);
    EXPECT_EQ(ws.Geometry(image).W, 420);
    EXPECT_EQ(ws.Geometry(image).H, 420);
    EXPECT_EQ(ws.Geometry(image).X, 10);

    ws.SetEnabled(toggle, false);
    EXPECT_TRUE(this->DrainEvents().empty()) << "setting state raises no event";
}

TYPED_TEST(WindowServicesTest, ContainerHidesItsChildrenAndTabPagesShowOneAtATime) {
    WindowServices& ws = this->Ws();
    const int window = this->OpenTestWindow();
    const int panel = this->Make(window, ControlKind::Container, {0, 0, 400, 300});
    const int child =
        this->Make(window, ControlKind::Button, {5, 5, 50, 20}, "A", NoOptions, AssignId, panel);
    const int tabs = this->Make(window, ControlKind::TabPanel, {10, 40, 240, 250});
    EXPECT_EQ(ws.AddTabPage(tabs, "Server"), 0);
    EXPECT_EQ(ws.AddTabPage(tabs, "Client"), 1);
    EXPECT_EQ(ws.AddTabPage(tabs, "Einzelspieler"), 2);
    EXPECT_EQ(ws.ItemCount(tabs), 3);
    EXPECT_EQ(ws.State(tabs), 0);
    const int onServer =
        this->Make(window, ControlKind::Text, {18, 18, 200, 15}, "S", NoOptions, AssignId, tabs, 0);
    const int onClient =
        this->Make(window, ControlKind::Text, {18, 18, 200, 15}, "C", NoOptions, AssignId, tabs, 1);
    EXPECT_EQ(ws.Geometry(onClient).X, 18) << "placed inside its page";

    EXPECT_TRUE(this->Backend_.Shown(child));
    ws.SetVisible(panel, false);
    EXPECT_FALSE(this->Backend_.Shown(child));
    ws.SetVisible(panel, true);
    EXPECT_TRUE(this->Backend_.Shown(child));

    EXPECT_TRUE(this->Backend_.Shown(onServer));
    EXPECT_FALSE(this->Backend_.Shown(onClient));
    ws.SetState(tabs, 1);
    EXPECT_EQ(ws.State(tabs), 1);
    EXPECT_FALSE(this->Backend_.Shown(onServer));
    EXPECT_TRUE(this->Backend_.Shown(onClient));
    ws.SetState(tabs, 7);
    EXPECT_EQ(ws.State(tabs), 1) << "a page that does not exist is not selected";

    ws.DestroyControl(panel);
    ws.DestroyControl(child);  // gone with its container: ignored
    EXPECT_TRUE(this->DrainEvents().empty());
}

TYPED_TEST(WindowServicesTest, ListViewRowsCellsColoursAndReferences) {
    WindowServices& ws = this->Ws();
    const int window = this->OpenTestWindow();
    const int list = this->Make(window, ControlKind::ListView, {10, 210, 400, 180});
    ws.AddColumn(list, "Spiele", 165);
    ws.AddColumn(list, "Dran", 100);
    ws.AddColumn(list, "Zeit", 55);
    int games[3] = {};
    for (int row = 0; row < 3; ++row) {
        ws.AppendRow(list);
        ws.SetRowRef(list, row, &games[row]);
        ws.SetCellText(list, row, 0, "Spiel " + std::to_string(row));
    }
    ws.SetCellText(list, 1, 2, "04:59");
    ws.SetCellColour(list, 1, 1, 0x0000FF);
    EXPECT_EQ(ws.RowCount(list), 3);
    EXPECT_EQ(ws.CellText(list, 1, 0), "Spiel 1");
    EXPECT_EQ(ws.CellText(list, 1, 1), "");
    EXPECT_EQ(ws.CellText(list, 1, 2), "04:59");
    EXPECT_EQ(ws.CellColour(list, 1, 1), 0x0000FF);
    EXPECT_EQ(ws.CellColour(list, 1, 2), DefaultColour);
    ws.SetCellColour(list, 1, 1, DefaultColour);
    EXPECT_EQ(ws.CellColour(list, 1, 1), DefaultColour);
    EXPECT_EQ(ws.RowRef(list, 2), &games[2]);
    // Outside the list: neutral answers, no fault.
    EXPECT_EQ(ws.CellText(list, 5, 0), "");
    EXPECT_EQ(ws.CellColour(list, 0, 9), DefaultColour);
    EXPECT_EQ(ws.RowRef(list, -1), nullptr);

    EXPECT_EQ(ws.State(list), -1);
    ws.SetState(list, 2);
    EXPECT_EQ(ws.State(list), 2);
    ws.RemoveRow(list, 0);
    EXPECT_EQ(ws.RowCount(list), 2);
    EXPECT_EQ(ws.State(list), 1) << "the selection stays on its row";
    EXPECT_EQ(ws.RowRef(list, 0), &games[1]);
    EXPECT_EQ(ws.CellText(list, 0, 2), "04:59");
    ws.SetState(list, -1);
    EXPECT_EQ(ws.State(list), -1);
    EXPECT_TRUE(this->DrainEvents().empty());
}

TYPED_TEST(WindowServicesTest, MovedRowsTakeTheirCellsAlongAndTheSelectionStaysWithItsRow) {
    WindowServices& ws = this->Ws();
    const int window = this->OpenTestWindow();
    const int list = this->Make(window, ControlKind::ListView, {10, 210, 400, 180});
    ws.AddColumn(list, "Spiele", 165);
    ws.AddColumn(list, "Dran", 100);
    int games[5] = {};
    for (int row = 0; row < 5; ++row) {
        ws.AppendRow(list);
        ws.SetRowRef(list, row, &games[row]);
        ws.SetCellText(list, row, 0, std::to_string(row));
    }
    ws.SetCellColour(list, 1, 1, 0x0000FF);
    const auto order = [&] {
        std::string rows;
        for (int row = 0; row < ws.RowCount(list); ++row) {
            rows += ws.CellText(list, row, 0);
        }
        return rows;
    };
    ws.SetState(list, 3);

    ws.MoveRow(list, 1, 3);
    EXPECT_EQ(order(), "02314");
    EXPECT_EQ(ws.RowRef(list, 3), &games[1]);
    EXPECT_EQ(ws.CellColour(list, 3, 1), 0x0000FF);
    EXPECT_EQ(ws.CellColour(list, 1, 1), DefaultColour);
    EXPECT_EQ(ws.State(list), 2) << "the selected row moved up with the others";

    ws.MoveRow(list, 4, 0);
    EXPECT_EQ(order(), "40231");
    EXPECT_EQ(ws.State(list), 3);
    ws.MoveRow(list, 2, 2);
    EXPECT_EQ(order(), "40231");
    ws.MoveRow(list, 3, 1);
    EXPECT_EQ(order(), "43021");
    EXPECT_EQ(ws.State(list), 1) << "the selected row itself";
    EXPECT_TRUE(this->DrainEvents().empty()) << "moving raises nothing";
}

TYPED_TEST(WindowServicesTest, ListBoxDropDownAndTextOutputItems) {
    WindowServices& ws = this->Ws();
    const int window = this->OpenTestWindow();
    const int moves = this->Make(window, ControlKind::ListBox, {450, 30, 130, 190});
    const int choice = this->Make(window, ControlKind::DropDown, {0, 0, 100, 20});
    const int chat = this->Make(window, ControlKind::TextOutput, {10, 210, 380, 80});
    for (const char* move : {"1. e2-e4", "  e7-e5", "2. Sg1-f3"}) {
        ws.AppendItem(moves, move);
    }
    for (const char* item : {"Wähle Figur...", "Dame", "Läufer", "Turm", "Springer"}) {
        ws.AppendItem(choice, item);
    }
    EXPECT_EQ(ws.ItemCount(moves), 3);
    EXPECT_EQ(ws.ItemCount(choice), 5);
    EXPECT_EQ(ws.State(moves), -1);
    EXPECT_EQ(ws.State(choice), -1) << "nothing is chosen before the program chooses";
    ws.SetState(moves, ws.ItemCount(moves) - 1);
    ws.SetState(choice, 0);
    EXPECT_EQ(ws.State(moves), 2);
    EXPECT_EQ(ws.State(choice), 0);
    ws.SetState(choice, 9);
    EXPECT_EQ(ws.State(choice), -1);

    ws.AppendLine(chat, "Anna: Hallo");
    ws.AppendLine(chat, "Bernd: Grüß dich");
    EXPECT_EQ(ws.Text(chat), "Anna: Hallo\nBernd: Grüß dich");
    EXPECT_TRUE(this->DrainEvents().empty());
}

TYPED_TEST(WindowServicesTest, ItemsAreRewrittenInPlaceAndClearedWithoutEvents) {
    WindowServices& ws = this->Ws();
    const int window = this->OpenTestWindow();
    const int servers = this->Make(window, ControlKind::ListBox, {18, 95, 200, 160});
    const int choice = this->Make(window, ControlKind::DropDown, {0, 0, 100, 20});
    for (int list : {servers, choice}) {
        ws.AppendItem(list, "Sam (1/8, ohne Zeitlimit)");
        ws.AppendItem(list, "Eva (2/4, 10 + 1 Min.)");
    }
    ws.SetState(servers, 1);
    ws.SetState(choice, 1);
    for (int list : {servers, choice}) {
        SCOPED_TRACE(list == servers ? "list box" : "drop-down list");
        ws.SetItemText(list, 1, "Eva (3/4, 10 + 1 Min.)");
        EXPECT_EQ(ws.ItemText(list, 0), "Sam (1/8, ohne Zeitlimit)");
        EXPECT_EQ(ws.ItemText(list, 1), "Eva (3/4, 10 + 1 Min.)");
        EXPECT_EQ(ws.ItemText(list, 2), "") << "outside the list";
        EXPECT_EQ(ws.ItemText(list, -1), "");
        EXPECT_EQ(ws.State(list), 1) << "the selection stays with the rewritten item";
        EXPECT_EQ(ws.ItemCount(list), 2);

        ws.ClearItems(list);
        EXPECT_EQ(ws.ItemCount(list), 0);
        EXPECT_EQ(ws.State(list), -1);
        ws.AppendItem(list, "Tom (1/2, 5 Min. pro Zug)");
        EXPECT_EQ(ws.ItemText(list, 0), "Tom (1/2, 5 Min. pro Zug)");
        EXPECT_EQ(ws.State(list), -1) << "a new item is not selected by itself";
    }
    EXPECT_TRUE(this->DrainEvents().empty());

    this->Backend_.Pick(servers, 0);
    const std::vector<Event> events = this->DrainEvents();
    ASSERT_EQ(events.size(), 1u) << "the user's choice is news";
    EXPECT_EQ(events[0].Control, servers);
    EXPECT_EQ(ws.State(servers), 0);
}

TYPED_TEST(WindowServicesTest, IPv4FieldValueRoundTrip) {
    WindowServices& ws = this->Ws();
    const int window = this->OpenTestWindow();
    const int address = this->Make(window, ControlKind::IPv4Field, {18, 40, 200, 20});
    // 127.0.0.1, 192.168.1.200 (last number above 127: a negative int32), 0.0.0.0,
    // 255.255.255.255.
    for (uint32_t value : {0x0100007Fu, 0xC801A8C0u, 0u, 0xFFFFFFFFu}) {
        ws.SetState(address, static_cast<int32_t>(value));
        EXPECT_EQ(static_cast<uint32_t>(ws.State(address)), value);
    }
    EXPECT_EQ(ws.Text(address), "");
}

TYPED_TEST(WindowServicesTest, UserActionsRaiseEventsInOrder) {
    WindowServices& ws = this->Ws();
    const int window = this->OpenTestWindow();
    const int button = this->Make(window, ControlKind::Button, {0, 0, 100, 20}, "Senden");
    const int toggle = this->Make(window, ControlKind::ToggleButton, {0, 30, 100, 20}, "Bereit");
    const int check = this->Make(window, ControlKind::CheckBox, {0, 60, 100, 20}, "Alle");
    const int drop = this->Make(window, ControlKind::DropDown, {0, 90, 100, 20});
    const int list = this->Make(window, ControlKind::ListView, {0, 120, 200, 100});
    const int tabs = this->Make(window, ControlKind::TabPanel, {210, 0, 180, 100});
    const int image = this->Make(window, ControlKind::Image, {210, 110, 10, 10});
    ws.AppendItem(drop, "Wähle Figur...");
    ws.AppendItem(drop, "Dame");
    ws.AddColumn(list, "Spiele", 165);
    ws.AppendRow(list);
    ws.AddTabPage(tabs, "Server");
    ws.AddTabPage(tabs, "Client");
    const int picture = ws.CreatePicture(10, 10);
    ws.SetImage(image, picture);
    EXPECT_TRUE(this->DrainEvents().empty());

    this->Backend_.Click(button);
    this->Backend_.Click(toggle);
    this->Backend_.Click(check);
    this->Backend_.Pick(drop, 1);
    this->Backend_.SelectRow(list, 0);
    this->Backend_.SelectTab(tabs, 1);
    this->Backend_.Click(image);
    this->Backend_.PressCloseBox(window);

    const std::vector<Event> events = this->DrainEvents();
    const std::array<int, 7> controls = {button, toggle, check, drop, list, tabs, image};
    ASSERT_EQ(events.size(), controls.size() + 1);
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(events[i].Kind, EventKind::Control) << i;
        EXPECT_EQ(events[i].Window, window) << i;
        EXPECT_EQ(events[i].Control, controls[i]) << i;
    }
    EXPECT_EQ(events.back().Kind, EventKind::Close);
    EXPECT_EQ(events.back().Window, window);

    EXPECT_EQ(ws.State(toggle), 1);
    EXPECT_EQ(ws.State(check), 1);
    EXPECT_EQ(ws.State(drop), 1);
    EXPECT_EQ(ws.State(list), 0);
    EXPECT_EQ(ws.State(tabs), 1);
    EXPECT_EQ(ws.Text(button), "Senden") << "the close box leaves the window and its controls";

    // Picking the shown item again is news (the promotion prompt relies on it); selecting
    // the selected row or page again is not.
    this->Backend_.Pick(drop, 1);
    this->Backend_.SelectRow(list, 0);
    this->Backend_.SelectTab(tabs, 1);
    const std::vector<Event> again = this->DrainEvents();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].Control, drop);
}

TYPED_TEST(WindowServicesTest, ReturnRaisesTheBoundShortcut) {
    WindowServices& ws = this->Ws();
    const int lobby = this->OpenTestWindow(0);
    this->Make(lobby, ControlKind::TextField, {10, 370, 330, 20}, "", NoOptions, 6);
    ws.SetFocus(6);
    this->Backend_.PressReturn(lobby);
    EXPECT_TRUE(this->DrainEvents().empty()) << "nothing bound yet";
    ws.BindReturnKey(lobby, 0);
    this->Backend_.PressReturn(lobby);
    const std::vector<Event> events = this->DrainEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Kind, EventKind::Shortcut);
    EXPECT_EQ(events[0].Shortcut, 0);
    EXPECT_EQ(ws.FocusedControl(), 6);
}

TYPED_TEST(WindowServicesTest, KeysOfACapturingWindowAreEventsAndPressNoButton) {
    WindowServices& ws = this->Ws();
    const int window = this->OpenTestWindow();
    const int resign = this->Make(window, ControlKind::Button, {10, 10, 110, 20}, "Spiel aufgeben");
    ws.CaptureKeys(window);
    ws.SetFocus(resign);
    const std::array<int, 7> keys = {' ', ReturnKey, 'N', 'f', '3', BackspaceKey, EscapeKey};
    for (int key : keys) {
        this->Backend_.PressKey(window, key);
    }
    const std::vector<Event> events = this->DrainEvents();
    ASSERT_EQ(events.size(), keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(events[i].Kind, EventKind::Key) << i;
        EXPECT_EQ(events[i].Window, window) << i;
        EXPECT_EQ(events[i].Key, keys[i]) << i;
    }
    EXPECT_EQ(ws.FocusedControl(), resign);
}

TYPED_TEST(WindowServicesTest, ReopeningWindowZeroReplacesTheSettingsWindow) {
    WindowServices& ws = this->Ws();
    this->OpenTestWindow(0);
    for (int id = 0; id <= 12; ++id) {
        this->Make(0, ControlKind::TextField, {0, 0, 10, 10}, "alt", NoOptions, id);
    }
    const int popup = ws.OpenPopup(0, Rect{100, 100, 100, 20});
    const int popupList = this->Make(popup, ControlKind::DropDown, {0, 0, 100, 20});
    EXPECT_GE(popupList, FirstAssignedId);
    ws.CloseWindow(popup);

    this->OpenTestWindow(0);
    for (int id = 0; id <= 7; ++id) {
        this->Make(0, ControlKind::Button, {0, 0, 10, 10}, "neu", NoOptions, id);
    }
    EXPECT_EQ(ws.Text(7), "neu");
    ws.SetState(7, 1);  // a button has no state
    EXPECT_EQ(ws.State(7), 0);
    ws.CloseWindow(0);
    ws.CloseWindow(0);  // already closed: ignored
}

TYPED_TEST(WindowServicesTest, PicturesAreNumberedAndDrawnOpaque) {
    WindowServices& ws = this->Ws();
    const int board = ws.CreatePicture(420, 420);
    ASSERT_NE(ws.FindPicture(board), nullptr);
    EXPECT_EQ(ws.FindPicture(board)->At(0, 0), 0u);
    ws.FillBox(board, Rect{0, 0, 420, 420}, 0x000000);
    ws.FillBox(board, Rect{0, 350, 50, 50}, 0x606060);
    ws.OutlineBox(board, Rect{5, 355, 40, 40}, 0x0000FF);
    const int piece = ws.CreatePicture(2, 2, 6);
    EXPECT_EQ(piece, 6) << "piece images keep their numbers";
    ws.FillBox(piece, Rect{0, 0, 1, 1}, 0xFFFFFF);
    ws.DrawPicture(board, piece, 10, 360);  // the three transparent pixels leave the board

    const Picture& drawn = *ws.FindPicture(board);
    EXPECT_EQ(drawn.At(0, 0), 0xFF000000u);
    EXPECT_EQ(drawn.At(20, 370), 0xFF606060u);
    EXPECT_EQ(drawn.At(5, 355), 0xFF0000FFu);
    EXPECT_EQ(drawn.At(10, 360), 0xFFFFFFFFu);
    EXPECT_EQ(drawn.At(11, 361), 0xFF606060u);

    ws.FreePicture(piece);
    EXPECT_EQ(ws.FindPicture(piece), nullptr);
    EXPECT_FALSE(ws.LoadPicture(7, "Image/NoSuchPiece.png"));
    EXPECT_EQ(ws.FindPicture(7), nullptr);
    ws.FreePicture(12345);  // unknown: ignored
}

// The double's own hooks

TEST(RecordingWindowServices, WaitEventIsFifoAndAsksOnIdleBeforeAnsweringNone) {
    RecordingWindowServices ws;
    ws.InjectEvent(Event{EventKind::Control, 0, 5});
    ws.InjectEvent(Event{EventKind::Shortcut, -1, -1, 0});
    EXPECT_EQ(ws.WaitEvent(10).Control, 5);
    EXPECT_EQ(ws.WaitEvent(10).Kind, EventKind::Shortcut);

    int idle = 0;
    ws.OnIdle = [&] {
        if (++idle == 1) {
            ws.InjectEvent(Event{EventKind::Close, 0});
        }
    };
    EXPECT_EQ(ws.WaitEvent(-1).Kind, EventKind::Close);
    EXPECT_EQ(ws.WaitEvent(-1).Kind, EventKind::None) << "an unlimited wait must not hang";
    EXPECT_EQ(idle, 2);
}

TEST(RecordingWindowServices, UsersCannotReachHiddenOrDisabledControls) {
    RecordingWindowServices ws;
    const int window = ws.OpenWindow(WindowSpec{AssignId, false, 0, 0, 590, 470, "Tavlora"});
    const int panel = ws.CreateControl(
        ControlSpec{window, -1, 0, ControlKind::Container, AssignId, {0, 0, 590, 470}});
    const int resign = ws.CreateControl(ControlSpec{
        window, panel, 0, ControlKind::Button, AssignId, {470, 440, 110, 20}, "Spiel aufgeben"});
    const int board = ws.CreateControl(
        ControlSpec{window, panel, 0, ControlKind::Image, AssignId, {10, 10, 0, 0}});
    ws.SetImage(board, ws.CreatePicture(420, 420));

    ws.SetEnabled(resign, false);
    EXPECT_FALSE(ws.Click(resign));
    ws.SetEnabled(resign, true);
    ws.SetVisible(panel, false);
    EXPECT_FALSE(ws.Click(resign));
    ws.SetVisible(panel, true);
    ws.HideWindow(window);
    EXPECT_FALSE(ws.Click(resign));
    ws.ShowWindow(window);
    EXPECT_EQ(ws.PendingEvents(), 0u);
    EXPECT_TRUE(ws.Click(resign));

    // A click on the board: the mouse lands on the picture's pixel, in client coordinates.
    EXPECT_FALSE(ws.ClickImageAt(board, 420, 0));
    EXPECT_TRUE(ws.ClickImageAt(board, 0, 399));
    EXPECT_EQ(ws.MouseInWindow(window).X, 10);
    EXPECT_EQ(ws.MouseInWindow(window).Y, 409);
    EXPECT_EQ(ws.FindControlByText("Spiel aufgeben")->Id, resign);
    EXPECT_EQ(ws.Controls(window).size(), 3u);
}

TEST(RecordingWindowServices, TypingKeepsWhatTheFieldAccepts) {
    RecordingWindowServices ws;
    const int window =
        ws.OpenWindow(WindowSpec{0, true, 0, 0, 260, 400, "Tavlora - Einstellungen"});
    const int name =
        ws.CreateControl(ControlSpec{window, -1, 0, ControlKind::TextField, 0, {60, 10, 190, 20}});
    const int count = ws.CreateControl(
        ControlSpec{window, -1, 0, ControlKind::TextField, 2, {18, 40, 200, 20}, "", DigitsOnly});
    struct Case {
        int Field;
        std::string Typed;
        std::string Kept;
    };
    for (const Case& c : std::vector<Case>{
             {name, "Jörg ♞ Ünal", "Jörg  Ünal"}, {count, "1a2-8", "128"}, {count, "", ""}}) {
        EXPECT_TRUE(ws.TypeText(c.Field, c.Typed));
        EXPECT_EQ(ws.Text(c.Field), c.Kept) << c.Typed;
        EXPECT_EQ(ws.FocusedControl(), c.Field);
    }
    EXPECT_EQ(ws.PendingEvents(), 0u) << "typing raises no event";
}

TEST(RecordingWindowServices, RecordsMessageBoxesFontsAndTextDrawing) {
    RecordingWindowServices ws;
    ws.MessageBox("Tavlora - Fehler", "Name muss angegeben werden.");
    ASSERT_EQ(ws.MessageBoxes().size(), 1u);
    EXPECT_EQ(ws.MessageBoxes()[0].Text, "Name muss angegeben werden.");

    const int font = ws.CreateFont("MS Sans Serif", 14, true);
    ASSERT_NE(ws.FindFont(font), nullptr);
    EXPECT_EQ(ws.FindFont(font)->Points, 14);
    EXPECT_TRUE(ws.FindFont(font)->Bold);

    const int board = ws.CreatePicture(420, 420);
    ws.DrawText(board, 408, 368, "1", 0xFFFFFF, 0x000000);
    ASSERT_EQ(ws.TextDrawings().size(), 1u);
    EXPECT_EQ(ws.TextDrawings()[0].Target, board);
    EXPECT_EQ(ws.TextDrawings()[0].Y, 368);
    EXPECT_EQ(ws.FindPicture(board)->At(408, 368), 0u) << "the double paints nothing";
    EXPECT_EQ(ws.TextWidth("Läufer"), 36) << "six pixels per character, not per byte";
}

// The Qt backend's own behaviour

class QtWindowServicesTest : public testing::Test {
protected:
    QtBackend Backend_;
    QtWindowServices& Ws() { return Backend_.Services; }
};

// Clicks a button some time after it is made, unless it goes first: it ends a wait that
// nothing else ends, so no case can hang.
class DelayedClick {
public:
    explicit DelayedClick(QAbstractButton* button) {
        Timer_.setSingleShot(true);
        QObject::connect(&Timer_, &QTimer::timeout, button, &QAbstractButton::click);
        Timer_.start(200);
    }

private:
    QTimer Timer_;
};

TEST_F(QtWindowServicesTest, ReadableSocketEndsTheWaitOncePerUnreadData) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    Ws().WatchSocket(pair[0]);
    const int window = Ws().OpenWindow(WindowSpec{AssignId, false, 0, 0, 100, 50, "Tavlora"});
    const int button = Ws().CreateControl(
        ControlSpec{window, -1, 0, ControlKind::Button, AssignId, {0, 0, 100, 20}, "OK"});
    auto* widget = qobject_cast<QPushButton*>(Ws().ControlWidget(button));
    char byte = 0;

    ASSERT_EQ(write(pair[1], "ab", 2), 2);
    {
        DelayedClick safety(widget);
        EXPECT_EQ(Ws().WaitEvent(-1).Kind, EventKind::None) << "new data ends an endless wait";
    }
    {
        DelayedClick click(widget);
        EXPECT_EQ(Ws().WaitEvent(-1).Kind, EventKind::Control)
            << "the same unread data does not end the wait again";
    }
    ASSERT_EQ(read(pair[0], &byte, 1), 1);  // the program takes one message
    {
        DelayedClick safety(widget);
        EXPECT_EQ(Ws().WaitEvent(-1).Kind, EventKind::None) << "what remains ends the next wait";
    }
    ASSERT_EQ(read(pair[0], &byte, 1), 1);
    EXPECT_EQ(Ws().WaitEvent(0).Kind, EventKind::None);
    {
        // Data that arrives between two waits, while the program handles what it read, ends
        // the next wait, even when it leaves the socket as it stood at the last report.
        ASSERT_EQ(write(pair[1], "de", 2), 2);
        DelayedClick safety(widget);
        EXPECT_EQ(Ws().WaitEvent(-1).Kind, EventKind::None);
        char two[2];
        ASSERT_EQ(read(pair[0], two, 2), 2);
        ASSERT_EQ(write(pair[1], "fg", 2), 2);
        EXPECT_EQ(Ws().WaitEvent(-1).Kind, EventKind::None) << "the answer must not wait";
        ASSERT_EQ(read(pair[0], two, 2), 2);
    }

    {
        // Data that arrives during a wait ends it.
        DelayedClick click(widget);
        QTimer::singleShot(20, [fd = pair[1]] { ASSERT_EQ(write(fd, "c", 1), 1); });
        EXPECT_EQ(Ws().WaitEvent(-1).Kind, EventKind::None);
        EXPECT_EQ(Ws().WaitEvent(-1).Kind, EventKind::Control) << "the click still comes";
    }
    ASSERT_EQ(read(pair[0], &byte, 1), 1);
    {
        // The other end closing is news as well.
        DelayedClick safety(widget);
        close(pair[1]);
        EXPECT_EQ(Ws().WaitEvent(-1).Kind, EventKind::None);
    }
    Ws().UnwatchSocket(pair[0]);
    close(pair[0]);
}

// What capturing the keys prevents: Space on a button that holds the focus presses it.
TEST_F(QtWindowServicesTest, SpacePressesAFocusedButtonOnlyInAWindowThatLeavesItsKeys) {
    QtWindowServices& ws = Ws();
    const int free = ws.OpenWindow({.X = 0, .Y = 0, .ClientW = 200, .ClientH = 100});
    const int captured = ws.OpenWindow({.X = 300, .Y = 0, .ClientW = 200, .ClientH = 100});
    const int freeButton = ws.CreateControl(
        {.Window = free, .Kind = ControlKind::Button, .Geometry = {10, 10, 110, 20}, .Text = "A"});
    const int capturedButton = ws.CreateControl({.Window = captured,
                                                 .Kind = ControlKind::Button,
                                                 .Geometry = {10, 10, 110, 20},
                                                 .Text = "B"});
    ws.CaptureKeys(captured);
    for (const auto& [window, button] : {std::pair(free, freeButton), {captured, capturedButton}}) {
        ws.SetFocus(button);
        Backend_.PressKey(window, ' ');
    }
    std::vector<Event> events;
    for (Event event = ws.WaitEvent(0); event.Kind != EventKind::None; event = ws.WaitEvent(0)) {
        events.push_back(event);
    }
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Kind, EventKind::Control);
    EXPECT_EQ(events[0].Control, freeButton);
    EXPECT_EQ(events[1].Kind, EventKind::Key);
    EXPECT_EQ(events[1].Window, captured);
}

TEST_F(QtWindowServicesTest, WindowsAreFixedPlacedAndStayMinimised) {
    const int game = Ws().OpenWindow(WindowSpec{AssignId, false, 20, 30, 590, 470, "Tavlora"});
    QWidget* widget = Ws().WindowWidget(game);
    EXPECT_EQ(widget->minimumSize(), QSize(590, 470)) << "never resizable";
    EXPECT_EQ(widget->maximumSize(), QSize(590, 470));
    EXPECT_FALSE(widget->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(widget->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(widget->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(widget->pos(), QPoint(20, 30));

    // The mouse in the client area, and outside it.
    QCursor::setPos(widget->mapToGlobal(QPoint(10, 409)));
    EXPECT_EQ(Ws().MouseInWindow(game).X, 10);
    EXPECT_EQ(Ws().MouseInWindow(game).Y, 409);
    EXPECT_EQ(Ws().MouseOnDesktop().X, QCursor::pos().x());
    QCursor::setPos(widget->mapToGlobal(QPoint(600, 10)));
    EXPECT_EQ(Ws().MouseInWindow(game).X, -1);
    EXPECT_EQ(Ws().MouseInWindow(game).Y, -1);

    widget->showMinimized();
    Ws().HideWindow(game);
    Ws().ShowWindow(game);
    EXPECT_TRUE(widget->isMinimized());

    const int popup = Ws().OpenPopup(game, Rect{300, 200, 100, 20});
    EXPECT_TRUE(Ws().WindowWidget(popup)->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(Ws().WindowWidget(popup)->size(), QSize(100, 20));
    Ws().CloseWindow(game);
    EXPECT_EQ(Ws().WindowWidget(popup), nullptr) << "a pop-up goes with its owner";
}

TEST_F(QtWindowServicesTest, OpenDropDownListIsAtMost350PixelsHigh) {
    const int window = Ws().OpenWindow(WindowSpec{AssignId, false, 0, 0, 200, 100, "Tavlora"});
    const int drop = Ws().CreateControl(
        ControlSpec{window, -1, 0, ControlKind::DropDown, AssignId, {0, 0, 100, 20}});
    for (int i = 0; i < 60; ++i) {
        Ws().AppendItem(drop, "Figur " + std::to_string(i));
    }
    auto* box = qobject_cast<QComboBox*>(Ws().ControlWidget(drop));
    box->showPopup();
    QWidget* list = box->view()->window();
    EXPECT_TRUE(list->isVisible());
    EXPECT_LE(list->height(), 350) << list->height();
    EXPECT_GT(list->height(), 100);
    box->hidePopup();
}

TEST_F(QtWindowServicesTest, MessageBoxShowsTitleTextAndOk) {
    QString title;
    QString text;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    Ws().MessageBox("Tavlora - Fehler", "Bild kann nicht geladen werden.\nPawn1.png");
    EXPECT_EQ(title.toStdString(), "Tavlora - Fehler");
    EXPECT_EQ(text.toStdString(), "Bild kann nicht geladen werden.\nPawn1.png");
}

// While another application has the focus, a box still belongs to the program's window shown
// last, so the window manager keeps it above that window instead of anywhere it likes.
TEST_F(QtWindowServicesTest, ABoxBelongsToTheWindowShownLastWhenNoneIsActive) {
    const int first = Ws().OpenWindow(WindowSpec{AssignId, false, 0, 0, 200, 100, "Erstes"});
    const int last = Ws().OpenWindow(WindowSpec{AssignId, false, 0, 0, 200, 100, "Letztes"});
    const auto ownerOfBox = [this] {
        QApplication::setActiveWindow(nullptr);  // as when another application takes the focus
        QWidget* owner = nullptr;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            owner = box->parentWidget();
            box->button(QMessageBox::Ok)->click();
        });
        Ws().MessageBox("Tavlora - Fehler", "Verbindung zum Server unterbrochen.");
        return owner;
    };
    EXPECT_EQ(ownerOfBox(), Ws().WindowWidget(last));
    Ws().ActivateWindow(first);
    EXPECT_EQ(ownerOfBox(), Ws().WindowWidget(first));
    Ws().HideWindow(first);
    EXPECT_EQ(ownerOfBox(), Ws().WindowWidget(last));
}

// The question box: the program's German buttons, "Ja" the default that Return takes.
TEST_F(QtWindowServicesTest, QuestionBoxAnswersJaOnReturnAndNeinOnItsButton) {
    for (const bool answerYes : {true, false}) {
        QStringList buttons;
        QString title;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            for (QAbstractButton* button : box->buttons()) {
                buttons << button->text();
            }
            EXPECT_EQ(box->defaultButton()->text(), "Ja");
            if (answerYes) {
                QTest::keyClick(box, Qt::Key_Return);
            } else {
                for (QAbstractButton* button : box->buttons()) {
                    if (button->text() == "Nein") {
                        button->click();
                    }
                }
            }
        });
        EXPECT_EQ(Ws().AskYesNo("Tavlora - Turnier fortsetzen", "Fortsetzen?"), answerYes);
        EXPECT_EQ(title.toStdString(), "Tavlora - Turnier fortsetzen");
        buttons.sort();
        EXPECT_EQ(buttons, QStringList({"Ja", "Nein"}));
    }
}

TEST_F(QtWindowServicesTest, ProgramFontsUseANearFaceAndScreenPixels) {
    const int window = Ws().OpenWindow(WindowSpec{AssignId, false, 0, 0, 590, 470, "Tavlora"});
    const int clock = Ws().CreateControl(ControlSpec{
        window, -1, 0, ControlKind::Text, AssignId, {455, 255, 120, 25}, "05:00", Centred});
    Ws().SetFont(clock, Ws().CreateFont("MS Sans Serif", 14, true));
    const QFont font = Ws().ControlWidget(clock)->font();
    EXPECT_TRUE(QFontInfo(font).exactMatch() || QFontInfo(font).family() == "DejaVu Sans");
    EXPECT_EQ(font.pixelSize(), 19);  // 14 points at 96 dots per inch
    EXPECT_TRUE(font.bold());
}

// The default control font must carry the program's tightest texts in their fixed sizes.
TEST_F(QtWindowServicesTest, TightTextsFitTheirControls) {
    const int window = Ws().OpenWindow(WindowSpec{AssignId, false, 0, 0, 600, 400, "Tavlora"});
    struct Case {
        ControlKind Kind;
        int Width;
        int Height;
        const char* Text;
        int Margin;  // room the control's own frame takes
    };
    for (const Case& c : std::vector<Case>{
             {ControlKind::Button, 110, 20, "Remis vorschlagen", 8},
             {ControlKind::Button, 160, 20, "Remis akzeptieren", 8},
             {ControlKind::Button, 160, 20, "Zum Server verbinden", 8},
             {ControlKind::Text, 200, 15, "Maximale Spielzeit pro Spieler:", 0},
             {ControlKind::Text, 160, 15, "Warte auf Daten des Servers...", 0},
             {ControlKind::Text, 120, 15, "Vergangene Züge:", 0},
             {ControlKind::CheckBox, 400, 15, "Alle Spiele anzeigen", 24},
             {ControlKind::Text, 55, 15, "Spielzeit", 12},  // a column title and its padding
         }) {
        const int id = Ws().CreateControl(
            ControlSpec{window, -1, 0, c.Kind, AssignId, {0, 0, c.Width, c.Height}, c.Text});
        const QFontMetrics metrics(Ws().ControlWidget(id)->font());
        EXPECT_LE(metrics.horizontalAdvance(QString::fromUtf8(c.Text)) + c.Margin, c.Width)
            << c.Text;
        EXPECT_LE(metrics.height(), c.Height) << c.Text;
    }
}

TEST_F(QtWindowServicesTest, DrawTextPaintsFrontOnBack) {
    const int board = Ws().CreatePicture(420, 420);
    Ws().DrawText(board, 403, 50, "8", 0xFFFFFF, 0x000000);
    const Picture& drawn = *Ws().FindPicture(board);
    int lit = 0;
    for (int y = 50; y < 70; ++y) {
        for (int x = 403; x < 416; ++x) {
            lit += (drawn.At(x, y) & 0xFF) > 0x80;
        }
    }
    EXPECT_GT(lit, 10) << "the glyph is there, smoothed at its edges";
    EXPECT_EQ(drawn.At(403, 50), 0xFF000000u) << "the cell's corner has the back colour";
    EXPECT_EQ(drawn.At(402, 50), 0u) << "nothing left of the text";
    EXPECT_GT(Ws().TextWidth("h"), 0);
    EXPECT_LT(Ws().TextWidth("h"), 20) << "a letter fits the coordinate strip";
    EXPECT_GT(Ws().TextWidth("abc"), Ws().TextWidth("a"));
    Ws().DrawText(99999, 0, 0, "x", 0, 0);  // unknown picture: nothing happens
}

TEST_F(QtWindowServicesTest, GrabWindowWritesAPng) {
    const int window = Ws().OpenWindow(WindowSpec{AssignId, false, 0, 0, 120, 40, "Tavlora"});
    const std::string path = testing::TempDir() + "tavlora_grab.png";
    ASSERT_TRUE(Ws().GrabWindow(window, path));
    RecordingWindowServices reader;
    ASSERT_TRUE(reader.LoadPicture(1, path));
    EXPECT_EQ(reader.FindPicture(1)->Width, 120);
    EXPECT_EQ(reader.FindPicture(1)->Height, 40);
    std::remove(path.c_str());
    EXPECT_FALSE(Ws().GrabWindow(window + 1, path));
}

TEST_F(QtWindowServicesTest, DigitFieldsRefuseOtherCharacters) {
    const int window = Ws().OpenWindow(WindowSpec{AssignId, false, 0, 0, 260, 100, "Tavlora"});
    const int count = Ws().CreateControl(ControlSpec{
        window, -1, 0, ControlKind::TextField, AssignId, {18, 40, 200, 20}, "", DigitsOnly});
    const int name = Ws().CreateControl(
        ControlSpec{window, -1, 0, ControlKind::TextField, AssignId, {18, 70, 200, 20}});
    // Key presses as the keyboard sends them, one character each.
    auto type = [](QWidget* field, const char* text) {
        for (QChar c : QString::fromUtf8(text)) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(field, &press);
        }
    };
    type(Ws().ControlWidget(count), "1a2-8");
    type(Ws().ControlWidget(name), "Jörg ♞");
    EXPECT_EQ(Ws().Text(count), "128");
    EXPECT_EQ(Ws().Text(name), "Jörg ");
}

// The system services

TEST(System, TickCountIsMonotonic) {
    uint32_t last = TickCount();
    for (int i = 0; i < 1000; ++i) {
        const uint32_t now = TickCount();
        EXPECT_LT(now - last, 1000u) << "never backwards, which would wrap to a huge step";
        last = now;
    }
    usleep(20000);
    EXPECT_GE(TickCount() - last, 19u);
}

TEST(System, RandomBelowGivesEveryValueInRange) {
    RandomSource random;
    std::array<int, 3> seen{};
    for (int i = 0; i < 3000; ++i) {
        const int value = random.RandomBelow(3);
        ASSERT_GE(value, 0);
        ASSERT_LT(value, 3);
        ++seen[value];
    }
    for (int count : seen) {
        EXPECT_GT(count, 800);  // 1000 expected; below 800 is vanishingly unlikely
    }
    EXPECT_EQ(random.RandomBelow(1), 0);
    EXPECT_EQ(random.RandomBelow(0), 0);
}

TEST(System, HostNameIsKnown) {
    EXPECT_FALSE(HostName().empty());
}

}  // namespace
}  // namespace tavlora
