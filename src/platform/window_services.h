// SPDX-License-Identifier: GPL-3.0-or-later
// The window and event services: every window, control, picture and event of the program,
// named by integer identifiers. The program talks to the window system only through this
// interface; the Qt backend implements it for real, the recording double for logic tests.
#pragma once

#include <cstdint>
#include <string>

#include "platform/picture.h"

namespace tavlora {

// Pass as an identifier to have the layer assign a fresh one. Assigned identifiers start at
// FirstAssignedId, so they never equal a fixed one (window 0, controls 0..12), and are
// unique across all windows, controls and pictures.
constexpr int AssignId = -1;
constexpr int FirstAssignedId = 1000;

// Colours are 0xRRGGBB; DefaultColour is the control's normal text colour.
constexpr int32_t DefaultColour = -1;
// The system's default control font.
constexpr int DefaultFont = -1;

enum class EventKind { None, Control, Shortcut, Close, Key };

// The keys of a Key event: a character as its Latin-1 code (32 to 255, Space is 32), or one of
// these.
enum KeyCode : int {
    ReturnKey = 256,  // also the keypad's Enter
    BackspaceKey,
    EscapeKey,
};

struct Event {
    EventKind Kind = EventKind::None;
    int Window = -1;    // Control, Close and Key events
    int Control = -1;   // Control events
    int Shortcut = -1;  // Shortcut events
    int Key = -1;       // Key events: a KeyCode
};

struct Point {
    int X = -1;
    int Y = -1;
};

struct Rect {
    int X = 0;
    int Y = 0;
    int W = 0;
    int H = 0;
};

// Control events come from the user only, never from the program's own writes: what each
// kind raises is noted beside it. Typing raises nothing.
enum class ControlKind {
    Text,          // static text; left-aligned unless Centred
    TextField,     // single-line input of what Latin-1 can carry; DigitsOnly, RightAligned
    Button,        // push button; a click is an event
    ToggleButton,  // stays pressed until pressed again; state 0/1; each click is an event
    CheckBox,      // state 0/1; each click is an event
    TabPanel,      // pages added with AddTabPage; state = current page; a switch is an event
    IPv4Field,     // four numbers; state = the address as a + b*256 + c*65536 + d*16777216
                   // (the int32 bit pattern of that value); no text
    ListBox,       // single selection; state = selected item (-1 none); a change is an event
    DropDown,      // not editable; state = selected item (-1 none); each pick is an event,
                   // also of the item already shown
    ListView,      // report list: columns, rows, cells; state = selected row (-1 none);
                   // a change of the selection is an event
    TextOutput,    // read-only multi-line text with scroll bars; text = lines joined by \n
    Image,         // shows a picture at its natural size; a click is an event
    FrameBox,      // empty box with a thin sunken border
    Container,     // no border; its children move and hide with it
};

enum ControlOption : unsigned {
    NoOptions = 0,
    Centred = 1,
    DigitsOnly = 2,
    RightAligned = 4,
};

struct ControlSpec {
    int Window = 0;
    int Parent = -1;  // a Container or TabPanel control, or -1 for the client area
    int Page = 0;     // the page when Parent is a TabPanel
    ControlKind Kind = ControlKind::Text;
    int Id = AssignId;
    Rect Geometry;  // relative to the parent (the tab page, container or client area)
    std::string Text;
    unsigned Options = NoOptions;
};

struct WindowSpec {
    int Id = AssignId;
    bool Centred = false;  // otherwise placed by its outer top-left corner at X, Y
    int X = 0;
    int Y = 0;
    int ClientW = 0;
    int ClientH = 0;
    std::string Title;
};

class WindowServices {
public:
    virtual ~WindowServices() = default;

    // Events
    // Waits at most timeoutMs (-1: without limit) and returns one event, or None when the
    // time ran out or something has arrived on a watched socket since the last wait, also
    // while no wait was in progress. A socket whose data the program leaves unread cuts the
    // wait short only once, until something is read from it or more arrives.
    virtual Event WaitEvent(int timeoutMs) = 0;
    // Unwatch a socket before closing it.
    virtual void WatchSocket(int fd) = 0;
    virtual void UnwatchSocket(int fd) = 0;

    // Windows: title bar with close box and minimise box, never resizable. Sizes are of the
    // client area. A pop-up has neither title bar nor border and is placed in screen pixels.
    // Both open shown and active and return the identifier. Opening under an identifier
    // that is in use closes that window first. The close box raises a Close event and
    // leaves the window open: the program decides.
    virtual int OpenWindow(const WindowSpec& spec) = 0;
    virtual int OpenPopup(int owner, Rect screenRect) = 0;
    // Destroys its controls and its pop-ups too; an unknown window is ignored.
    virtual void CloseWindow(int window) = 0;
    virtual void SetWindowTitle(int window, const std::string& title) = 0;
    virtual void ShowWindow(int window) = 0;  // a minimised window stays minimised
    virtual void HideWindow(int window) = 0;
    virtual void ActivateWindow(int window) = 0;
    virtual void SetClientHeight(int window, int height) = 0;
    // Return in this window (while it is active) raises a Shortcut event with this identifier.
    virtual void BindReturnKey(int window, int shortcut) = 0;
    // From now on every key pressed in this window while it is active raises a Key event
    // (Return, Backspace, Escape and the characters of Latin-1 typed without Ctrl or Alt; other
    // keys are dropped) and reaches none of its controls, so no key can press a button of it.
    virtual void CaptureKeys(int window) = 0;

    // Controls, created shown and enabled; returns the identifier. Creating under an
    // identifier that is in use destroys that control first. Every other operation requires
    // an existing control; the kinds it does not apply to ignore it.
    virtual int CreateControl(const ControlSpec& spec) = 0;
    virtual void DestroyControl(int control) = 0;  // its children too; unknown is ignored
    virtual void SetVisible(int control, bool visible) = 0;
    virtual void SetEnabled(int control, bool enabled) = 0;
    virtual void SetGeometry(int control, Rect geometry) = 0;
    virtual Rect Geometry(int control) const = 0;
    virtual void SetText(int control, const std::string& text) = 0;
    virtual std::string Text(int control) const = 0;
    virtual void SetFont(int control, int font) = 0;
    virtual int Font(int control) const = 0;
    // Toggle pressed / box ticked (0, 1), current tab, selected item or row (-1 none),
    // address of an IPv4 field. Setting it raises no event.
    virtual void SetState(int control, int32_t state) = 0;
    virtual int32_t State(int control) const = 0;
    virtual void SetFocus(int control) = 0;
    virtual int FocusedControl() const = 0;  // -1 when no control of the program has it

    // Tab panel: returns the index of the new page. The first page becomes the current one.
    virtual int AddTabPage(int panel, const std::string& title) = 0;

    // List box and drop-down list. Select an item with SetState; a list box scrolls to it.
    virtual void AppendItem(int control, const std::string& text) = 0;
    virtual int ItemCount(int control) const = 0;
    // Rewrites an existing item in its place; the selection stays. An item outside the list
    // reads as empty.
    virtual void SetItemText(int control, int item, const std::string& text) = 0;
    virtual std::string ItemText(int control, int item) const = 0;
    // Removes every item; nothing is selected afterwards. Raises no event.
    virtual void ClearItems(int control) = 0;

    // List view. Rows and columns outside the list read as empty, DefaultColour and nullptr.
    virtual void AddColumn(int list, const std::string& title, int width) = 0;
    virtual int RowCount(int list) const = 0;
    virtual void AppendRow(int list) = 0;
    virtual void RemoveRow(int list, int row) = 0;
    // The row keeps its cells, colours and reference; the rows between shift by one place.
    // The selection stays with the row it is on.
    virtual void MoveRow(int list, int from, int to) = 0;
    virtual void SetCellText(int list, int row, int column, const std::string& text) = 0;
    virtual std::string CellText(int list, int row, int column) const = 0;
    virtual void SetCellColour(int list, int row, int column, int32_t rgb) = 0;
    virtual int32_t CellColour(int list, int row, int column) const = 0;
    virtual void SetRowRef(int list, int row, void* ref) = 0;
    virtual void* RowRef(int list, int row) const = 0;

    // Text output: appends a line and scrolls to it.
    virtual void AppendLine(int output, const std::string& line) = 0;

    // Image control: shows the picture (copied; the picture may be freed afterwards) and
    // takes its natural size.
    virtual void SetImage(int control, int picture) = 0;

    // Fonts by face, points (converted with the screen's dots per inch / 72) and weight;
    // a near face stands in where the face is missing.
    virtual int CreateFont(const std::string& face, int points, bool bold) = 0;

    // Pictures: the drawing layer's table of 32-bit RGBA images, numbered.
    virtual int CreatePicture(int width, int height, int number = AssignId) = 0;  // all 0
    virtual bool LoadPicture(int number, const std::string& path) = 0;            // PNG
    virtual void FreePicture(int picture) = 0;
    virtual const Picture* FindPicture(int picture) const = 0;  // nullptr when unknown
    virtual void FillBox(int picture, Rect box, int32_t rgb) = 0;
    virtual void OutlineBox(int picture, Rect box, int32_t rgb) = 0;      // 1-pixel outline
    virtual void DrawPicture(int picture, int source, int x, int y) = 0;  // with alpha
    // Text in the drawing layer's default font, front colour on back colour.
    virtual void DrawText(int picture, int x, int y, const std::string& text, int32_t front,
                          int32_t back) = 0;
    virtual int TextWidth(const std::string& text) = 0;

    // Mouse: in a window's client area ({-1, -1} outside it), and on the desktop.
    virtual Point MouseInWindow(int window) const = 0;
    virtual Point MouseOnDesktop() const = 0;

    // Modal message box with title, text and an OK button.
    virtual void MessageBox(const std::string& title, const std::string& text) = 0;
    // Modal question box with title, text and the buttons "Ja" (the default, taken by Return)
    // and "Nein"; true for "Ja". Closing the box answers "Nein".
    virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;

    // The desktop: shows the folder at path in the desktop's file manager, which runs on its
    // own; false when the desktop would not take it.
    virtual bool OpenFolder(const std::string& path) = 0;
};

}  // namespace tavlora
