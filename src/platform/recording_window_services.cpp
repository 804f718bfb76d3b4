// SPDX-License-Identifier: GPL-3.0-or-later
// The recording double: plain records, a FIFO of injected events, and user actions that
// change a control the way a user would and queue the event the real backend raises.
#include "platform/recording_window_services.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tavlora {

namespace {

// A caller that names a window or control that does not exist has a fault; a test should
// stop right there rather than read records that silently lack the write.
[[noreturn]] void Fail(const char* operation, int id) {
    std::fprintf(stderr, "RecordingWindowServices::%s: no such identifier %d\n", operation, id);
    std::abort();
}

bool HasText(ControlKind kind) {
    switch (kind) {
        case ControlKind::Text:
        case ControlKind::TextField:
        case ControlKind::Button:
        case ControlKind::ToggleButton:
        case ControlKind::CheckBox:
        case ControlKind::TextOutput:
            return true;
        default:
            return false;
    }
}

bool IsCheckable(ControlKind kind) {
    return kind == ControlKind::ToggleButton || kind == ControlKind::CheckBox;
}

bool IsItemList(ControlKind kind) {
    return kind == ControlKind::ListBox || kind == ControlKind::DropDown;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty()) {
        return lines;
    }
    for (size_t start = 0;;) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return lines;
        }
        start = end + 1;
    }
}

// What typing the text into a field leaves in it: the field refuses characters beyond
// Latin-1, and a digits-only field everything but digits.
std::string Typeable(const std::string& text, bool digitsOnly) {
    std::string kept;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 1;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
        }
        length = std::min(length, text.size() - i);
        const bool latin1 = lead < 0x80 || lead == 0xC2 || lead == 0xC3;
        const bool digit = lead >= '0' && lead <= '9';
        if (digitsOnly ? digit : latin1) {
            kept.append(text, i, length);
        }
        i += length;
    }
    return kept;
}

}  // namespace

// Events

Event RecordingWindowServices::WaitEvent(int /*timeoutMs*/) {
    if (Events_.empty() && OnIdle) {
        OnIdle();
    }
    if (Events_.empty()) {
        return Event{};
    }
    Event event = Events_.front();
    Events_.pop_front();
    return event;
}

void RecordingWindowServices::WatchSocket(int fd) {
    Watched_.insert(fd);
}

void RecordingWindowServices::UnwatchSocket(int fd) {
    Watched_.erase(fd);
}

void RecordingWindowServices::InjectEvent(const Event& event) {
    Events_.push_back(event);
}

void RecordingWindowServices::Queue(EventKind kind, int window, int control, int shortcut,
                                    int key) {
    Events_.push_back(Event{kind, window, control, shortcut, key});
}

// Windows

WindowRecord& RecordingWindowServices::WindowAt(int window) {
    auto it = Windows_.find(window);
    if (it == Windows_.end()) {
        Fail("window", window);
    }
    return it->second;
}

int RecordingWindowServices::OpenWindow(const WindowSpec& spec) {
    const int id = spec.Id == AssignId ? NextId() : spec.Id;
    CloseWindow(id);
    WindowRecord& window = Windows_[id];
    window.Id = id;
    window.Centred = spec.Centred;
    window.X = spec.X;
    window.Y = spec.Y;
    window.ClientW = spec.ClientW;
    window.ClientH = spec.ClientH;
    window.Title = spec.Title;
    Active_ = id;
    return id;
}

int RecordingWindowServices::OpenPopup(int owner, Rect screenRect) {
    WindowAt(owner);
    const int id = NextId();
    WindowRecord& window = Windows_[id];
    window.Id = id;
    window.Popup = true;
    window.Owner = owner;
    window.X = screenRect.X;
    window.Y = screenRect.Y;
    window.ClientW = screenRect.W;
    window.ClientH = screenRect.H;
    Active_ = id;
    return id;
}

void RecordingWindowServices::CloseWindow(int window) {
    if (!Windows_.contains(window)) {
        return;
    }
    std::vector<int> popups;
    for (const auto& [id, record] : Windows_) {
        if (record.Popup && record.Owner == window) {
            popups.push_back(id);
        }
    }
    for (int popup : popups) {
        CloseWindow(popup);
    }
    std::erase_if(Controls_, [window](const auto& entry) { return entry.second.Window == window; });
    if (Focus_ >= 0 && !Controls_.contains(Focus_)) {
        Focus_ = -1;
    }
    if (Active_ == window) {
        Active_ = -1;
    }
    Windows_.erase(window);
}

void RecordingWindowServices::SetWindowTitle(int window, const std::string& title) {
    WindowAt(window).Title = title;
}

void RecordingWindowServices::ShowWindow(int window) {
    WindowAt(window).Visible = true;
}

void RecordingWindowServices::HideWindow(int window) {
    WindowAt(window).Visible = false;
    if (Active_ == window) {
        Active_ = -1;
    }
}

void RecordingWindowServices::ActivateWindow(int window) {
    WindowAt(window);
    Active_ = window;
}

void RecordingWindowServices::SetClientHeight(int window, int height) {
    WindowAt(window).ClientH = height;
}

void RecordingWindowServices::BindReturnKey(int window, int shortcut) {
    WindowAt(window).ReturnShortcut = shortcut;
}

void RecordingWindowServices::CaptureKeys(int window) {
    WindowAt(window).KeysCaptured = true;
}

// Controls

ControlRecord& RecordingWindowServices::ControlAt(int control) {
    auto it = Controls_.find(control);
    if (it == Controls_.end()) {
        Fail("control", control);
    }
    return it->second;
}

const ControlRecord& RecordingWindowServices::ControlAt(int control) const {
    auto it = Controls_.find(control);
    if (it == Controls_.end()) {
        Fail("control", control);
    }
    return it->second;
}

int RecordingWindowServices::CreateControl(const ControlSpec& spec) {
    WindowAt(spec.Window);
    if (spec.Parent != -1 && ControlAt(spec.Parent).Window != spec.Window) {
        Fail("CreateControl parent", spec.Parent);
    }
    const int id = spec.Id == AssignId ? NextId() : spec.Id;
    DestroyControl(id);
    ControlRecord& control = Controls_[id];
    control.Id = id;
    control.Window = spec.Window;
    control.Parent = spec.Parent;
    control.Page = spec.Page;
    control.Kind = spec.Kind;
    control.Options = spec.Options;
    control.Geometry = spec.Geometry;
    if (spec.Kind == ControlKind::TextOutput) {
        control.Lines = SplitLines(spec.Text);
    } else if (HasText(spec.Kind)) {
        control.Text = spec.Text;
    }
    switch (spec.Kind) {
        case ControlKind::ListBox:
        case ControlKind::DropDown:
        case ControlKind::ListView:
        case ControlKind::TabPanel:
            control.State = -1;
            break;
        default:
            break;
    }
    control.Sequence = Sequence_++;
    return id;
}

void RecordingWindowServices::DestroyControl(int control) {
    if (!Controls_.contains(control)) {
        return;
    }
    std::vector<int> children;
    for (const auto& [id, record] : Controls_) {
        if (record.Parent == control) {
            children.push_back(id);
        }
    }
    for (int child : children) {
        DestroyControl(child);
    }
    Controls_.erase(control);
    if (Focus_ == control) {
        Focus_ = -1;
    }
}

void RecordingWindowServices::SetVisible(int control, bool visible) {
    ControlAt(control).Visible = visible;
}

void RecordingWindowServices::SetEnabled(int control, bool enabled) {
    ControlAt(control).Enabled = enabled;
}

void RecordingWindowServices::SetGeometry(int control, Rect geometry) {
    ControlAt(control).Geometry = geometry;
}

Rect RecordingWindowServices::Geometry(int control) const {
    return ControlAt(control).Geometry;
}

void RecordingWindowServices::SetText(int control, const std::string& text) {
    ControlRecord& record = ControlAt(control);
    if (record.Kind == ControlKind::TextOutput) {
        record.Lines = SplitLines(text);
    } else if (HasText(record.Kind)) {
        record.Text = text;
    }
}

std::string RecordingWindowServices::Text(int control) const {
    const ControlRecord& record = ControlAt(control);
    if (record.Kind != ControlKind::TextOutput) {
        return record.Text;
    }
    std::string text;
    for (size_t i = 0; i < record.Lines.size(); ++i) {
        text += (i == 0 ? "" : "\n") + record.Lines[i];
    }
    return text;
}

void RecordingWindowServices::SetFont(int control, int font) {
    ControlAt(control).Font = font;
}

int RecordingWindowServices::Font(int control) const {
    return ControlAt(control).Font;
}

void RecordingWindowServices::SetState(int control, int32_t state) {
    ControlRecord& record = ControlAt(control);
    auto within = [state](size_t count) {
        return state >= 0 && static_cast<size_t>(state) < count;
    };
    switch (record.Kind) {
        case ControlKind::ToggleButton:
        case ControlKind::CheckBox:
            record.State = state != 0 ? 1 : 0;
            break;
        case ControlKind::TabPanel:
            if (within(record.Items.size())) {
                record.State = state;
            }
            break;
        case ControlKind::ListBox:
        case ControlKind::DropDown:
            record.State = within(record.Items.size()) ? state : -1;
            break;
        case ControlKind::ListView:
            record.State = within(record.Rows.size()) ? state : -1;
            break;
        case ControlKind::IPv4Field:
            record.State = state;
            break;
        default:
            break;
    }
}

int32_t RecordingWindowServices::State(int control) const {
    return ControlAt(control).State;
}

void RecordingWindowServices::SetFocus(int control) {
    Focus_ = ControlAt(control).Id;
}

int RecordingWindowServices::FocusedControl() const {
    return Focus_;
}

int RecordingWindowServices::AddTabPage(int panel, const std::string& title) {
    ControlRecord& record = ControlAt(panel);
    record.Items.push_back(title);
    if (record.State < 0) {
        record.State = 0;
    }
    return static_cast<int>(record.Items.size()) - 1;
}

void RecordingWindowServices::AppendItem(int control, const std::string& text) {
    ControlAt(control).Items.push_back(text);
}

int RecordingWindowServices::ItemCount(int control) const {
    return static_cast<int>(ControlAt(control).Items.size());
}

void RecordingWindowServices::SetItemText(int control, int item, const std::string& text) {
    ControlRecord& record = ControlAt(control);
    if (!IsItemList(record.Kind)) {
        return;
    }
    if (item < 0 || item >= static_cast<int>(record.Items.size())) {
        Fail("SetItemText item", item);
    }
    record.Items[static_cast<size_t>(item)] = text;
}

std::string RecordingWindowServices::ItemText(int control, int item) const {
    const ControlRecord& record = ControlAt(control);
    if (!IsItemList(record.Kind) || item < 0 || item >= static_cast<int>(record.Items.size())) {
        return "";
    }
    return record.Items[static_cast<size_t>(item)];
}

void RecordingWindowServices::ClearItems(int control) {
    ControlRecord& record = ControlAt(control);
    if (IsItemList(record.Kind)) {
        record.Items.clear();
        record.State = -1;
    }
}

void RecordingWindowServices::AddColumn(int list, const std::string& title, int width) {
    ControlAt(list).Columns.push_back({title, width});
}

int RecordingWindowServices::RowCount(int list) const {
    return static_cast<int>(ControlAt(list).Rows.size());
}

void RecordingWindowServices::AppendRow(int list) {
    ControlAt(list).Rows.emplace_back();
}

void RecordingWindowServices::MoveRow(int list, int from, int to) {
    ControlRecord& record = ControlAt(list);
    const int rows = static_cast<int>(record.Rows.size());
    if (from < 0 || from >= rows) {
        Fail("MoveRow from", from);
    }
    if (to < 0 || to >= rows) {
        Fail("MoveRow to", to);
    }
    const auto at = [&record](int row) { return record.Rows.begin() + row; };
    if (from < to) {
        std::rotate(at(from), at(from + 1), at(to + 1));
    } else {
        std::rotate(at(to), at(from), at(from + 1));
    }
    int32_t& selected = record.State;
    if (selected == from) {
        selected = to;
    } else if (from < selected && selected <= to) {
        --selected;
    } else if (to <= selected && selected < from) {
        ++selected;
    }
}

void RecordingWindowServices::RemoveRow(int list, int row) {
    ControlRecord& record = ControlAt(list);
    if (row < 0 || row >= static_cast<int>(record.Rows.size())) {
        Fail("RemoveRow row", row);
    }
    record.Rows.erase(record.Rows.begin() + row);
    if (record.State == row) {
        record.State = -1;
    } else if (record.State > row) {
        --record.State;
    }
}

CellRecord& RecordingWindowServices::CellAt(int list, int row, int column, const char* operation) {
    ControlRecord& record = ControlAt(list);
    if (row < 0 || row >= static_cast<int>(record.Rows.size())) {
        Fail((std::string(operation) + " row").c_str(), row);
    }
    if (column < 0 || column >= static_cast<int>(record.Columns.size())) {
        Fail((std::string(operation) + " column").c_str(), column);
    }
    std::vector<CellRecord>& cells = record.Rows[row].Cells;
    if (cells.size() <= static_cast<size_t>(column)) {
        cells.resize(column + 1);
    }
    return cells[column];
}

const CellRecord* RecordingWindowServices::CellIfSet(int list, int row, int column) const {
    const ControlRecord& record = ControlAt(list);
    if (row < 0 || row >= static_cast<int>(record.Rows.size()) || column < 0 ||
        column >= static_cast<int>(record.Rows[row].Cells.size())) {
        return nullptr;
    }
    return &record.Rows[row].Cells[column];
}

void RecordingWindowServices::SetCellText(int list, int row, int column, const std::string& text) {
    CellAt(list, row, column, "SetCellText").Text = text;
}

std::string RecordingWindowServices::CellText(int list, int row, int column) const {
    const CellRecord* cell = CellIfSet(list, row, column);
    return cell != nullptr ? cell->Text : "";
}

void RecordingWindowServices::SetCellColour(int list, int row, int column, int32_t rgb) {
    CellAt(list, row, column, "SetCellColour").Colour = rgb;
}

int32_t RecordingWindowServices::CellColour(int list, int row, int column) const {
    const CellRecord* cell = CellIfSet(list, row, column);
    return cell != nullptr ? cell->Colour : DefaultColour;
}

void RecordingWindowServices::SetRowRef(int list, int row, void* ref) {
    ControlRecord& record = ControlAt(list);
    if (row < 0 || row >= static_cast<int>(record.Rows.size())) {
        Fail("SetRowRef row", row);
    }
    record.Rows[row].Ref = ref;
}

void* RecordingWindowServices::RowRef(int list, int row) const {
    const ControlRecord& record = ControlAt(list);
    if (row < 0 || row >= static_cast<int>(record.Rows.size())) {
        return nullptr;
    }
    return record.Rows[row].Ref;
}

void RecordingWindowServices::AppendLine(int output, const std::string& line) {
    ControlAt(output).Lines.push_back(line);
}

void RecordingWindowServices::SetImage(int control, int picture) {
    ControlRecord& record = ControlAt(control);
    const Picture* shown = Pictures_.Find(picture);
    if (!shown) {
        Fail("SetImage picture", picture);
    }
    record.ImageSource = picture;
    record.Image = *shown;
    record.Geometry.W = shown->Width;
    record.Geometry.H = shown->Height;
}

// Fonts, pictures, text drawing

int RecordingWindowServices::CreateFont(const std::string& face, int points, bool bold) {
    const int id = NextId();
    Fonts_[id] = FontRecord{face, points, bold};
    return id;
}

int RecordingWindowServices::CreatePicture(int width, int height, int number) {
    const int id = number == AssignId ? NextId() : number;
    Pictures_.Create(id, width, height);
    return id;
}

bool RecordingWindowServices::LoadPicture(int number, const std::string& path) {
    return Pictures_.Load(number, path);
}

void RecordingWindowServices::FreePicture(int picture) {
    Pictures_.Free(picture);
}

const Picture* RecordingWindowServices::FindPicture(int picture) const {
    return Pictures_.Find(picture);
}

void RecordingWindowServices::FillBox(int picture, Rect box, int32_t rgb) {
    Pictures_.FillBox(picture, box, rgb);
}

void RecordingWindowServices::OutlineBox(int picture, Rect box, int32_t rgb) {
    Pictures_.OutlineBox(picture, box, rgb);
}

void RecordingWindowServices::DrawPicture(int picture, int source, int x, int y) {
    Pictures_.DrawPicture(picture, source, x, y);
}

void RecordingWindowServices::DrawText(int picture, int x, int y, const std::string& text,
                                       int32_t front, int32_t back) {
    TextDrawings_.push_back(TextDrawingRecord{picture, x, y, text, front, back});
}

int RecordingWindowServices::TextWidth(const std::string& text) {
    // Counts characters, not UTF-8 bytes: continuation bytes start with the bits 10.
    const auto characters = std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    return 6 * static_cast<int>(characters);
}

// Mouse, message boxes and the desktop

Point RecordingWindowServices::MouseInWindow(int window) const {
    auto it = Windows_.find(window);
    return it == Windows_.end() ? Point{} : it->second.Mouse;
}

Point RecordingWindowServices::MouseOnDesktop() const {
    return Desktop_;
}

void RecordingWindowServices::MessageBox(const std::string& title, const std::string& text) {
    MessageBoxes_.push_back({title, text});
}

bool RecordingWindowServices::AskYesNo(const std::string& title, const std::string& text) {
    bool answer = true;
    if (!Answers.empty()) {
        answer = Answers.front();
        Answers.pop_front();
    }
    Questions_.push_back({title, text, answer});
    return answer;
}

bool RecordingWindowServices::OpenFolder(const std::string& path) {
    OpenedFolders_.push_back(path);
    return true;
}

void RecordingWindowServices::SetMouseInWindow(int window, Point position) {
    WindowAt(window).Mouse = position;
}

// User actions

bool RecordingWindowServices::Usable(int control) const {
    return IsShown(control) && ControlAt(control).Enabled;
}

bool RecordingWindowServices::Click(int control) {
    ControlRecord& record = ControlAt(control);
    const bool clickable = record.Kind == ControlKind::Button || IsCheckable(record.Kind) ||
                           record.Kind == ControlKind::Image;
    if (!clickable || !Usable(control)) {
        return false;
    }
    if (IsCheckable(record.Kind)) {
        record.State = record.State != 0 ? 0 : 1;
    }
    Queue(EventKind::Control, record.Window, control);
    return true;
}

bool RecordingWindowServices::ClickImageAt(int control, int x, int y) {
    const ControlRecord& record = ControlAt(control);
    if (record.Kind != ControlKind::Image || x < 0 || y < 0 || x >= record.Geometry.W ||
        y >= record.Geometry.H) {
        return false;
    }
    const Point corner = ClientPosition(control);
    SetMouseInWindow(record.Window, Point{corner.X + x, corner.Y + y});
    return Click(control);
}

bool RecordingWindowServices::PickItem(int control, int item) {
    ControlRecord& record = ControlAt(control);
    const bool list = record.Kind == ControlKind::DropDown || record.Kind == ControlKind::ListBox;
    if (!list || item < 0 || item >= static_cast<int>(record.Items.size()) || !Usable(control)) {
        return false;
    }
    // A drop-down list reports every pick, a list box only a change of its selection.
    const bool change = record.State != item || record.Kind == ControlKind::DropDown;
    record.State = item;
    if (change) {
        Queue(EventKind::Control, record.Window, control);
    }
    return true;
}

bool RecordingWindowServices::SelectRow(int list, int row) {
    ControlRecord& record = ControlAt(list);
    if (record.Kind != ControlKind::ListView || row < -1 ||
        row >= static_cast<int>(record.Rows.size()) || !Usable(list)) {
        return false;
    }
    if (record.State != row) {
        record.State = row;
        Queue(EventKind::Control, record.Window, list);
    }
    return true;
}

bool RecordingWindowServices::SelectTab(int panel, int page) {
    ControlRecord& record = ControlAt(panel);
    if (record.Kind != ControlKind::TabPanel || page < 0 ||
        page >= static_cast<int>(record.Items.size()) || !Usable(panel)) {
        return false;
    }
    if (record.State != page) {
        record.State = page;
        Queue(EventKind::Control, record.Window, panel);
    }
    return true;
}

bool RecordingWindowServices::TypeText(int field, const std::string& text) {
    ControlRecord& record = ControlAt(field);
    if (record.Kind != ControlKind::TextField || !Usable(field)) {
        return false;
    }
    record.Text = Typeable(text, (record.Options & DigitsOnly) != 0);
    Focus_ = field;
    Active_ = record.Window;
    return true;
}

void RecordingWindowServices::PressReturn(int window) {
    const WindowRecord& record = WindowAt(window);
    if (!record.Visible) {
        return;
    }
    Active_ = window;
    if (record.ReturnShortcut >= 0) {
        Queue(EventKind::Shortcut, -1, -1, record.ReturnShortcut);
    }
}

void RecordingWindowServices::PressKey(int window, int key) {
    const WindowRecord& record = WindowAt(window);
    if (!record.Visible) {
        return;
    }
    Active_ = window;
    if (record.KeysCaptured) {
        Queue(EventKind::Key, window, -1, -1, key);
    }
}

void RecordingWindowServices::TypeKeys(int window, const std::string& characters) {
    for (const char c : characters) {
        PressKey(window, static_cast<unsigned char>(c));
    }
}

void RecordingWindowServices::PressCloseBox(int window) {
    if (!WindowAt(window).Popup) {
        Queue(EventKind::Close, window, -1);
    }
}

void RecordingWindowServices::MinimiseWindow(int window) {
    WindowAt(window).Minimised = true;
}

// Records

const WindowRecord* RecordingWindowServices::Window(int window) const {
    auto it = Windows_.find(window);
    return it == Windows_.end() ? nullptr : &it->second;
}

const ControlRecord* RecordingWindowServices::Control(int control) const {
    auto it = Controls_.find(control);
    return it == Controls_.end() ? nullptr : &it->second;
}

std::vector<const WindowRecord*> RecordingWindowServices::Windows() const {
    std::vector<const WindowRecord*> windows;
    for (const auto& [id, record] : Windows_) {
        windows.push_back(&record);
    }
    return windows;
}

std::vector<const ControlRecord*> RecordingWindowServices::Controls(int window) const {
    std::vector<const ControlRecord*> controls;
    for (const auto& [id, record] : Controls_) {
        if (record.Window == window) {
            controls.push_back(&record);
        }
    }
    std::ranges::sort(controls, {}, &ControlRecord::Sequence);
    return controls;
}

const ControlRecord* RecordingWindowServices::FindControlByText(const std::string& text,
                                                                int window) const {
    const ControlRecord* found = nullptr;
    for (const auto& [id, record] : Controls_) {
        if (record.Text == text && (window == -1 || record.Window == window) &&
            (!found || record.Sequence < found->Sequence)) {
            found = &record;
        }
    }
    return found;
}

bool RecordingWindowServices::IsShown(int control) const {
    const ControlRecord* record = &ControlAt(control);
    const WindowRecord* window = Window(record->Window);
    if (!window || !window->Visible) {
        return false;
    }
    for (;;) {
        if (!record->Visible) {
            return false;
        }
        if (record->Parent == -1) {
            return true;
        }
        const ControlRecord& parent = ControlAt(record->Parent);
        if (parent.Kind == ControlKind::TabPanel && parent.State != record->Page) {
            return false;
        }
        record = &parent;
    }
}

Point RecordingWindowServices::ClientPosition(int control) const {
    Point position{0, 0};
    for (int id = control; id != -1;) {
        const ControlRecord& record = ControlAt(id);
        position.X += record.Geometry.X;
        position.Y += record.Geometry.Y;
        id = record.Parent;
    }
    return position;
}

const FontRecord* RecordingWindowServices::FindFont(int font) const {
    auto it = Fonts_.find(font);
    return it == Fonts_.end() ? nullptr : &it->second;
}

}  // namespace tavlora
