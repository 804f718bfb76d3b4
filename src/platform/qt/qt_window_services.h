// SPDX-License-Identifier: GPL-3.0-or-later
// The window services on Qt 6 Widgets: top-level windows and pop-ups sized by their client
// area, controls at fixed pixel positions without layouts, one event per wait from a queue
// that the widgets' signals fill, and text drawn on pictures with QPainter.
#pragma once

#include <QFont>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/picture_table.h"
#include "platform/qt/socket_watch.h"
#include "platform/window_services.h"

class QApplication;
class QEventLoop;
class QShortcut;
class QWidget;

namespace tavlora {

class ClientWindow;
class KeyCatcher;
class ReportView;

class QtWindowServices : public WindowServices {
public:
    // Uses the running QApplication, or creates one from the program's arguments and owns
    // it. argc and argv must outlive the object, as QApplication requires.
    QtWindowServices(int& argc, char** argv);
    ~QtWindowServices() override;
    QtWindowServices(const QtWindowServices&) = delete;
    QtWindowServices& operator=(const QtWindowServices&) = delete;

    Event WaitEvent(int timeoutMs) override;
    void WatchSocket(int fd) override;
    void UnwatchSocket(int fd) override;

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

    Point MouseInWindow(int window) const override;
    Point MouseOnDesktop() const override;
    void MessageBox(const std::string& title, const std::string& text) override;
    bool AskYesNo(const std::string& title, const std::string& text) override;
    bool OpenFolder(const std::string& path) override;

    // Outside the interface: saves the window's client area as a PNG (for screenshots).
    bool GrabWindow(int window, const std::string& path) const;
    // The widgets behind the identifiers, for tests that click them; nullptr when unknown.
    QWidget* WindowWidget(int window) const;
    QWidget* ControlWidget(int control) const;

private:
    struct WindowEntry {
        ClientWindow* Widget = nullptr;
        int Owner = -1;  // pop-ups
        std::vector<QShortcut*> ReturnKeys;
    };
    struct ControlEntry {
        int Window = -1;
        int Parent = -1;
        ControlKind Kind = ControlKind::Text;
        QWidget* Widget = nullptr;
        int Font = DefaultFont;
    };

    int NextId() { return NextId_++; }
    void Post(const Event& event);
    void ForgetEvents(int window, int control);
    const WindowEntry* FindWindow(int window) const;
    const ControlEntry* FindControl(int control) const;
    ReportView* ListView(int list) const;  // nullptr unless a list view
    QWidget* ParentWidget(const ControlSpec& spec) const;
    QWidget* MakeWidget(int id, const ControlSpec& spec, QWidget* parent);
    QFont FontById(int font) const;
    // The window a box opens over: the active one, or else the program's window shown last.
    QWidget* BoxOwner() const;
    void NoteShown(int window);

    std::unique_ptr<QApplication> OwnApplication_;
    int NextId_ = FirstAssignedId;
    std::map<int, WindowEntry> Windows_;
    // The main windows, the one opened, shown or activated last at the back.
    std::vector<int> Shown_;
    std::map<int, ControlEntry> Controls_;
    std::map<int, QFont> Fonts_;
    PictureTable Pictures_;
    QFont ControlFont_;  // of every control that was given no font of its own
    QFont DrawingFont_;  // of DrawText and TextWidth
    std::deque<Event> Events_;
    SocketWatch Sockets_;
    std::unique_ptr<KeyCatcher> Keys_;  // installed on the application with the first capture
    QEventLoop* Waiting_ = nullptr;     // the loop of the wait in progress, if any
};

}  // namespace tavlora
