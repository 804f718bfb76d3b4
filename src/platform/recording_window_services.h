// SPDX-License-Identifier: GPL-3.0-or-later
// The recording double of the window services: every window, control, font, picture and
// message box kept as a plain record, so logic tests read what the program built and drive
// it with injected events and simulated user actions, fast and without a display.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/picture_table.h"
#include "platform/window_services.h"

namespace tavlora {

struct WindowRecord {
    int Id = -1;
    bool Popup = false;
    int Owner = -1;        // pop-ups: the owning window
    bool Centred = false;  // placed centred on the screen, X and Y unused
    int X = 0;             // outer top-left corner; pop-ups: client top-left, in screen pixels
    int Y = 0;
    int ClientW = 0;
    int ClientH = 0;
    std::string Title;
    bool Visible = true;
    bool Minimised = false;
    int ReturnShortcut = -1;    // -1 while no shortcut is bound
    bool KeysCaptured = false;  // keys raise Key events (CaptureKeys)
    Point Mouse;                // what MouseInWindow answers; set by tests
};

struct ColumnRecord {
    std::string Title;
    int Width = 0;
};

struct CellRecord {
    std::string Text;
    int32_t Colour = DefaultColour;
};

struct RowRecord {
    std::vector<CellRecord> Cells;  // grows as cells are written
    void* Ref = nullptr;
};

struct ControlRecord {
    int Id = -1;
    int Window = -1;
    int Parent = -1;
    int Page = 0;
    ControlKind Kind = ControlKind::Text;
    unsigned Options = NoOptions;
    Rect Geometry;
    std::string Text;
    bool Visible = true;
    bool Enabled = true;
    int Font = DefaultFont;
    int32_t State = 0;
    std::vector<std::string> Items;  // list box and drop-down items, tab page titles
    std::vector<ColumnRecord> Columns;
    std::vector<RowRecord> Rows;
    std::vector<std::string> Lines;  // text output
    int ImageSource = -1;            // image control: the picture number last shown
    Picture Image;                   // and the copy it shows
    int Sequence = 0;                // creation order
};

struct FontRecord {
    std::string Face;
    int Points = 0;
    bool Bold = false;
};

struct MessageBoxRecord {
    std::string Title;
    std::string Text;
};

struct QuestionRecord {
    std::string Title;
    std::string Text;
    bool Answer = false;  // the answer given
};

struct TextDrawingRecord {
    int Target = -1;  // the picture drawn on
    int X = 0;
    int Y = 0;
    std::string Text;
    int32_t Front = 0;
    int32_t Back = 0;
};

class RecordingWindowServices : public WindowServices {
public:
    // Events. WaitEvent never blocks: it pops the next queued event; on an empty queue it
    // calls OnIdle once (a test may queue something there) and otherwise answers None.
    Event WaitEvent(int timeoutMs) override;
    void WatchSocket(int fd) override;
    void UnwatchSocket(int fd) override;

    // Windows
    int OpenWindow(const WindowSpec& spec) override;
    int OpenPopup(int owner, Rect screenRect) override;
    void CloseWindow(int window) override;
    void SetWindowTitle(int window, const std::string& title) override;
    void ShowWindow(int window) override;
    void HideWindow(int window) override;
    void ActivateWindow(int window) override;
    void SetClientHeight(int window, int height) override;
    void BindReturnKey(int window, int shortcut) override;
    void CaptureKeys(int window) override;

    // Controls
    int CreateControl(const ControlSpec& spec) override;
    void DestroyControl(int control) override;
    void SetVisible(int control, bool visible) override;
    void SetEnabled(int control, bool enabled) override;
    void SetGeometry(int control, Rect geometry) override;
    Rect Geometry(int control) const override;
    void SetText(int control, const std::string& text) override;
    std::string Text(int control) const override;
    void SetFont(int control, int font) override;
    int Font(int control) const override;
    void SetState(int control, int32_t state) override;
    int32_t State(int control) const override;
    void SetFocus(int control) override;
    int FocusedControl() const override;
    int AddTabPage(int panel, const std::string& title) override;
    void AppendItem(int control, const std::string& text) override;
    int ItemCount(int control) const override;
    void SetItemText(int control, int item, const std::string& text) override;
    std::string ItemText(int control, int item) const override;
    void ClearItems(int control) override;
    void AddColumn(int list, const std::string& title, int width) override;
    int RowCount(int list) const override;
    void AppendRow(int list) override;
    void RemoveRow(int list, int row) override;
    void MoveRow(int list, int from, int to) override;
    void SetCellText(int list, int row, int column, const std::string& text) override;
    std::string CellText(int list, int row, int column) const override;
    void SetCellColour(int list, int row, int column, int32_t rgb) override;
    int32_t CellColour(int list, int row, int column) const override;
    void SetRowRef(int list, int row, void* ref) override;
    void* RowRef(int list, int row) const override;
    void AppendLine(int output, const std::string& line) override;
    void SetImage(int control, int picture) override;

    // Fonts, pictures, text drawing (recorded, nothing painted; 6 pixels per character)
    int CreateFont(const std::string& face, int points, bool bold) override;
    int CreatePicture(int width, int height, int number = AssignId) override;
    bool LoadPicture(int number, const std::string& path) override;
    void FreePicture(int picture) override;
    const Picture* FindPicture(int picture) const override;
    void FillBox(int picture, Rect box, int32_t rgb) override;
    void OutlineBox(int picture, Rect box, int32_t rgb) override;
    void DrawPicture(int picture, int source, int x, int y) override;
    void DrawText(int picture, int x, int y, const std::string& text, int32_t front,
                  int32_t back) override;
    int TextWidth(const std::string& text) override;

    // Mouse, message boxes and the desktop (folders are recorded, none opened)
    Point MouseInWindow(int window) const override;
    Point MouseOnDesktop() const override;
    void MessageBox(const std::string& title, const std::string& text) override;
    // Answers with the next of Answers, or "Ja" when none is left.
    bool AskYesNo(const std::string& title, const std::string& text) override;
    bool OpenFolder(const std::string& path) override;

    // For tests: events and the mouse
    void InjectEvent(const Event& event);  // queued behind the others
    size_t PendingEvents() const { return Events_.size(); }
    std::function<void()> OnIdle;
    void SetMouseInWindow(int window, Point position);
    void SetMouseOnDesktop(Point position) { Desktop_ = position; }

    // For tests: user actions. Each changes what the user would change and queues the event
    // the real backend would raise (a selection that does not change raises none); it
    // answers false, and does nothing, when the user could not do it (control hidden or
    // disabled, item out of range).
    bool Click(int control);  // button, toggle button and check box (both flip), image
    bool ClickImageAt(int control, int x, int y);  // moves the mouse there first
    bool PickItem(int control, int item);          // drop-down list, list box
    bool SelectRow(int list, int row);
    bool SelectTab(int panel, int page);
    bool TypeText(int field, const std::string& text);  // replaces the text; no event
    void PressReturn(int window);    // the window becomes active; a Shortcut event if bound
    void PressCloseBox(int window);  // a Close event
    // A key (a KeyCode) in the window, which becomes active: a Key event if it captures keys.
    void PressKey(int window, int key);
    void TypeKeys(int window, const std::string& characters);  // PressKey for each byte
    void MinimiseWindow(int window);

    // For tests: records
    const WindowRecord* Window(int window) const;  // nullptr when not open
    const ControlRecord* Control(int control) const;
    std::vector<const WindowRecord*> Windows() const;              // by identifier
    std::vector<const ControlRecord*> Controls(int window) const;  // in creation order
    // The first control (in creation order) with this text, in any window or in one.
    const ControlRecord* FindControlByText(const std::string& text, int window = -1) const;
    // Shown on the screen: its own flag, every parent's, the current tab page, the window.
    bool IsShown(int control) const;
    // The control's top-left corner in its window's client area (a tab page counts as
    // starting at its panel's corner).
    Point ClientPosition(int control) const;
    const FontRecord* FindFont(int font) const;
    const std::vector<MessageBoxRecord>& MessageBoxes() const { return MessageBoxes_; }
    // The answers the user gives to the next questions, first one first.
    std::deque<bool> Answers;
    const std::vector<QuestionRecord>& Questions() const { return Questions_; }
    const std::vector<std::string>& OpenedFolders() const { return OpenedFolders_; }
    const std::vector<TextDrawingRecord>& TextDrawings() const { return TextDrawings_; }
    int ActiveWindow() const { return Active_; }
    const std::set<int>& WatchedSockets() const { return Watched_; }

private:
    int NextId() { return NextId_++; }
    // Unknown identifiers are a fault of the caller; these stop the test loudly.
    WindowRecord& WindowAt(int window);
    ControlRecord& ControlAt(int control);
    const ControlRecord& ControlAt(int control) const;
    // A cell to write (its row and column must exist) or one written before (else nullptr).
    CellRecord& CellAt(int list, int row, int column, const char* operation);
    const CellRecord* CellIfSet(int list, int row, int column) const;
    bool Usable(int control) const;  // shown and enabled, as the user needs it
    void Queue(EventKind kind, int window, int control, int shortcut = -1, int key = -1);

    int NextId_ = FirstAssignedId;
    int Sequence_ = 0;
    std::map<int, WindowRecord> Windows_;
    std::map<int, ControlRecord> Controls_;
    std::map<int, FontRecord> Fonts_;
    PictureTable Pictures_;
    std::deque<Event> Events_;
    std::set<int> Watched_;
    std::vector<MessageBoxRecord> MessageBoxes_;
    std::vector<QuestionRecord> Questions_;
    std::vector<std::string> OpenedFolders_;
    std::vector<TextDrawingRecord> TextDrawings_;
    Point Desktop_;
    int Active_ = -1;
    int Focus_ = -1;
};

}  // namespace tavlora
