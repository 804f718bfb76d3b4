// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt backend of the window services.
#include "platform/qt/qt_window_services.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cassert>
#include <cmath>

#include "platform/qt/qt_widgets.h"
#include "platform/qt/report_view.h"

namespace tavlora {

namespace {

// The face that stands in for one the system lacks ("MS Sans Serif" above all); the install
// script provides it.
const char* const NearFace = "DejaVu Sans";
// About the 8 points of the desktops such fixed layouts were made for, in a face wider
// than theirs: with it every text of the program fits its control ("Remis vorschlagen" in
// 110 pixels, "Warte auf Daten des Servers..." in 160, "01:02:03" in a 55-pixel column).
constexpr int ControlFontPixels = 10;
// The board's coordinates: letters in a 20-pixel strip.
constexpr int DrawingFontPixels = 12;
// The open list of a drop-down list is at most this high.
constexpr int DropDownListHeight = 350;

QString ToQt(const std::string& text) {
    return QString::fromUtf8(text);
}

std::string FromQt(const QString& text) {
    return text.toUtf8().toStdString();
}

// A button shows '&' as an underlined mnemonic unless doubled.
QString ButtonText(const std::string& text) {
    return ToQt(text).replace('&', "&&");
}

std::string FromButtonText(const QString& text) {
    return FromQt(QString(text).replace("&&", "&"));
}

QFont MakeFont(const QString& face, int pixels, bool bold) {
    QFont font(QFontDatabase::hasFamily(face) ? face : QString(NearFace));
    font.setPixelSize(std::max(1, pixels));
    font.setBold(bold);
    return font;
}

bool IsLatin1(QChar c) {
    return c.unicode() <= 0xFF;
}

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The image over a picture's own pixels: Format_ARGB32 is 0xAARRGGBB, not premultiplied,
// exactly the picture's layout.
QImage ImageOver(Picture& picture) {
    return QImage(reinterpret_cast<uchar*>(picture.Pixels.data()), picture.Width, picture.Height,
                  picture.Width * 4, QImage::Format_ARGB32);
}

QColor ColourOf(int32_t rgb) {
    return QColor::fromRgb(static_cast<QRgb>(OpaqueArgb(rgb)));
}

// Programmatic changes raise no event: the widget's signals are blocked meanwhile.
template <typename Change>
void Quietly(QWidget* widget, Change change) {
    const QSignalBlocker blocker(widget);
    change();
}

}  // namespace

QtWindowServices::QtWindowServices(int& argc, char** argv) {
    if (!QApplication::instance()) {
        OwnApplication_ = std::make_unique<QApplication>(argc, argv);
        // The fixed layouts are measured with this style; a desktop's own could need more room.
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    }
    // The program keeps its windows and ends by itself; Qt must not end any event loop
    // when the last window goes.
    QApplication::setQuitOnLastWindowClosed(false);
    ControlFont_ = MakeFont(NearFace, ControlFontPixels, false);
    DrawingFont_ = MakeFont(NearFace, DrawingFontPixels, false);
}

QtWindowServices::~QtWindowServices() {
    std::vector<int> windows;
    for (const auto& [id, entry] : Windows_) {
        if (entry.Owner == -1) {
            windows.push_back(id);
        }
    }
    for (int window : windows) {
        CloseWindow(window);
    }
}

// Events

void QtWindowServices::Post(const Event& event) {
    Events_.push_back(event);
    if (Waiting_) {
        Waiting_->quit();
    }
}

void QtWindowServices::ForgetEvents(int window, int control) {
    std::erase_if(Events_, [window, control](const Event& event) {
        return (window != -1 && event.Window == window) ||
               (control != -1 && event.Kind == EventKind::Control && event.Control == control);
    });
}

Event QtWindowServices::WaitEvent(int timeoutMs) {
    // Input that the window system holds already comes before the sockets.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (Events_.empty() && !Sockets_.TakeNews() && timeoutMs != 0) {
        QEventLoop loop;
        QTimer timer;
        if (timeoutMs > 0) {
            timer.setSingleShot(true);
            timer.setTimerType(Qt::PreciseTimer);
            QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
            timer.start(timeoutMs);
        }
        Sockets_.Arm([&loop] { loop.quit(); });
        Waiting_ = &loop;
        loop.exec();
        Waiting_ = nullptr;
        Sockets_.Disarm();
        // Whatever woke the wait counts as reported now.
        Sockets_.TakeNews();
    }
    if (Events_.empty()) {
        return Event{};
    }
    Event event = Events_.front();
    Events_.pop_front();
    return event;
}

void QtWindowServices::WatchSocket(int fd) {
    Sockets_.Add(fd);
}

void QtWindowServices::UnwatchSocket(int fd) {
    Sockets_.Remove(fd);
}

// Windows

const QtWindowServices::WindowEntry* QtWindowServices::FindWindow(int window) const {
    auto it = Windows_.find(window);
    assert(it != Windows_.end() && "no such window");
    return it == Windows_.end() ? nullptr : &it->second;
}

int QtWindowServices::OpenWindow(const WindowSpec& spec) {
    const int id = spec.Id == AssignId ? NextId() : spec.Id;
    CloseWindow(id);
    auto* widget =
        new ClientWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                      Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                      Qt::WindowCloseButtonHint);
    widget->OnClose = [this, id] { Post(Event{EventKind::Close, id, -1, -1}); };
    widget->setWindowTitle(ToQt(spec.Title));
    widget->setFixedSize(spec.ClientW, spec.ClientH);
    widget->setFont(ControlFont_);
    if (spec.Centred) {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        widget->move(screen.x() + (screen.width() - spec.ClientW) / 2,
                     screen.y() + (screen.height() - spec.ClientH) / 2);
    } else {
        widget->move(spec.X, spec.Y);  // a window's position is that of its frame
    }
    Windows_[id] = WindowEntry{widget, -1, {}};
    NoteShown(id);
    widget->show();
    widget->raise();
    widget->activateWindow();
    return id;
}

int QtWindowServices::OpenPopup(int owner, Rect screenRect) {
    const WindowEntry* ownerEntry = FindWindow(owner);
    if (!ownerEntry) {
        return -1;
    }
    const int id = NextId();
    auto* widget = new ClientWindow(ownerEntry->Widget, Qt::Tool | Qt::FramelessWindowHint);
    widget->setFixedSize(screenRect.W, screenRect.H);
    widget->setFont(ControlFont_);
    widget->move(screenRect.X, screenRect.Y);
    Windows_[id] = WindowEntry{widget, owner, {}};
    widget->show();
    widget->raise();
    widget->activateWindow();
    return id;
}

void QtWindowServices::CloseWindow(int window) {
    auto it = Windows_.find(window);
    if (it == Windows_.end()) {
        return;
    }
    std::vector<int> popups;
    for (const auto& [id, entry] : Windows_) {
        if (entry.Owner == window) {
            popups.push_back(id);
        }
    }
    for (int popup : popups) {
        CloseWindow(popup);
    }
    std::erase_if(Controls_, [window](const auto& entry) { return entry.second.Window == window; });
    ForgetEvents(window, -1);
    if (Keys_) {
        Keys_->Release(it->second.Widget);
    }
    delete it->second.Widget;
    Windows_.erase(window);
    std::erase(Shown_, window);
}

void QtWindowServices::SetWindowTitle(int window, const std::string& title) {
    if (const WindowEntry* entry = FindWindow(window)) {
        entry->Widget->setWindowTitle(ToQt(title));
    }
}

void QtWindowServices::ShowWindow(int window) {
    // setVisible keeps the window state, so a minimised window stays minimised.
    if (const WindowEntry* entry = FindWindow(window)) {
        entry->Widget->setVisible(true);
        NoteShown(window);
    }
}

void QtWindowServices::HideWindow(int window) {
    if (const WindowEntry* entry = FindWindow(window)) {
        entry->Widget->hide();
    }
}

void QtWindowServices::ActivateWindow(int window) {
    if (const WindowEntry* entry = FindWindow(window)) {
        entry->Widget->raise();
        entry->Widget->activateWindow();
        NoteShown(window);
    }
}

void QtWindowServices::SetClientHeight(int window, int height) {
    if (const WindowEntry* entry = FindWindow(window)) {
        entry->Widget->setFixedSize(entry->Widget->width(), height);
    }
}

void QtWindowServices::BindReturnKey(int window, int shortcut) {
    auto it = Windows_.find(window);
    assert(it != Windows_.end() && "no such window");
    if (it == Windows_.end()) {
        return;
    }
    WindowEntry& entry = it->second;
    for (QShortcut* key : entry.ReturnKeys) {
        delete key;
    }
    entry.ReturnKeys.clear();
    // Return and the keypad's Enter, only while this window is the active one.
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* binding = new QShortcut(QKeySequence(key), entry.Widget);
        binding->setContext(Qt::WindowShortcut);
        QObject::connect(binding, &QShortcut::activated, entry.Widget, [this, shortcut] {
            Post(Event{EventKind::Shortcut, -1, -1, shortcut});
        });
        entry.ReturnKeys.push_back(binding);
    }
}

void QtWindowServices::CaptureKeys(int window) {
    const WindowEntry* entry = FindWindow(window);
    if (!entry) {
        return;
    }
    if (!Keys_) {
        Keys_ = std::make_unique<KeyCatcher>();
        Keys_->OnKey = [this](int id, int key) {
            Event event{EventKind::Key, id};
            event.Key = key;
            Post(event);
        };
        QCoreApplication::instance()->installEventFilter(Keys_.get());
    }
    Keys_->Capture(entry->Widget, window);
}

// Controls

const QtWindowServices::ControlEntry* QtWindowServices::FindControl(int control) const {
    auto it = Controls_.find(control);
    assert(it != Controls_.end() && "no such control");
    return it == Controls_.end() ? nullptr : &it->second;
}

QWidget* QtWindowServices::ParentWidget(const ControlSpec& spec) const {
    const WindowEntry* window = FindWindow(spec.Window);
    if (!window) {
        return nullptr;
    }
    if (spec.Parent == -1) {
        return window->Widget;
    }
    const ControlEntry* parent = FindControl(spec.Parent);
    if (!parent) {
        return nullptr;
    }
    if (parent->Kind == ControlKind::TabPanel) {
        auto* panel = static_cast<QTabWidget*>(parent->Widget);
        QWidget* page = panel->widget(spec.Page);
        assert(page && "no such tab page");
        return page;
    }
    return parent->Widget;
}

QWidget* QtWindowServices::MakeWidget(int id, const ControlSpec& spec, QWidget* parent) {
    const int window = spec.Window;
    auto raise = [this, window, id] { Post(Event{EventKind::Control, window, id, -1}); };
    switch (spec.Kind) {
        case ControlKind::Text: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignTop |
                                ((spec.Options & Centred) ? Qt::AlignHCenter : Qt::AlignLeft));
            label->setText(ToQt(spec.Text));
            return label;
        }
        case ControlKind::TextField: {
            auto* field = new QLineEdit(parent);
            const bool digits = (spec.Options & DigitsOnly) != 0;
            field->setValidator(new CharacterValidator(digits ? IsDigit : IsLatin1, {}, field));
            if (spec.Options & RightAligned) {
                field->setAlignment(Qt::AlignRight);
            }
            field->setText(ToQt(spec.Text));
            return field;
        }
        case ControlKind::Button:
        case ControlKind::ToggleButton: {
            auto* button = new QPushButton(ButtonText(spec.Text), parent);
            button->setAutoDefault(false);
            button->setCheckable(spec.Kind == ControlKind::ToggleButton);
            QObject::connect(button, &QAbstractButton::clicked, button, raise);
            return button;
        }
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(ButtonText(spec.Text), parent);
            QObject::connect(box, &QAbstractButton::clicked, box, raise);
            return box;
        }
        case ControlKind::TabPanel: {
            auto* panel = new QTabWidget(parent);
            QObject::connect(panel, &QTabWidget::currentChanged, panel, raise);
            return panel;
        }
        case ControlKind::IPv4Field:
            return new IPv4Edit(parent);
        case ControlKind::ListBox: {
            auto* list = new QListWidget(parent);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            QObject::connect(list, &QListWidget::itemSelectionChanged, list, raise);
            return list;
        }
        case ControlKind::DropDown: {
            auto* box = new QComboBox(parent);
            box->setEditable(false);
            // The open list lives in a container widget of its own; its height caps the list.
            box->view()->parentWidget()->setMaximumHeight(DropDownListHeight);
            // activated: every pick by the user, also of the item already shown.
            QObject::connect(box, &QComboBox::activated, box, raise);
            return box;
        }
        case ControlKind::ListView: {
            auto* list = new ReportView(parent);
            list->OnSelectionChanged = raise;
            return list;
        }
        case ControlKind::TextOutput: {
            auto* output = new QPlainTextEdit(parent);
            output->setReadOnly(true);
            output->setLineWrapMode(QPlainTextEdit::NoWrap);
            output->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            output->setPlainText(ToQt(spec.Text));
            return output;
        }
        case ControlKind::Image: {
            auto* image = new ImageLabel(parent);
            image->OnClick = raise;
            return image;
        }
        case ControlKind::FrameBox: {
            auto* frame = new QFrame(parent);
            frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            frame->setLineWidth(1);
            return frame;
        }
        case ControlKind::Container:
            return new QWidget(parent);
    }
    return new QWidget(parent);
}

int QtWindowServices::CreateControl(const ControlSpec& spec) {
    QWidget* parent = ParentWidget(spec);
    if (!parent) {
        return -1;
    }
    const int id = spec.Id == AssignId ? NextId() : spec.Id;
    DestroyControl(id);
    QWidget* widget = MakeWidget(id, spec, parent);
    widget->setFont(ControlFont_);
    widget->setGeometry(spec.Geometry.X, spec.Geometry.Y, spec.Geometry.W, spec.Geometry.H);
    widget->show();
    Controls_[id] = ControlEntry{spec.Window, spec.Parent, spec.Kind, widget, DefaultFont};
    return id;
}

void QtWindowServices::DestroyControl(int control) {
    auto it = Controls_.find(control);
    if (it == Controls_.end()) {
        return;
    }
    std::vector<int> children;
    for (const auto& [id, entry] : Controls_) {
        if (entry.Parent == control) {
            children.push_back(id);
        }
    }
    for (int child : children) {
        DestroyControl(child);
    }
    ForgetEvents(-1, control);
    delete Controls_.at(control).Widget;
    Controls_.erase(control);
}

void QtWindowServices::SetVisible(int control, bool visible) {
    if (const ControlEntry* entry = FindControl(control)) {
        entry->Widget->setVisible(visible);
    }
}

void QtWindowServices::SetEnabled(int control, bool enabled) {
    if (const ControlEntry* entry = FindControl(control)) {
        entry->Widget->setEnabled(enabled);
    }
}

void QtWindowServices::SetGeometry(int control, Rect geometry) {
    if (const ControlEntry* entry = FindControl(control)) {
        entry->Widget->setGeometry(geometry.X, geometry.Y, geometry.W, geometry.H);
    }
}

Rect QtWindowServices::Geometry(int control) const {
    const ControlEntry* entry = FindControl(control);
    if (!entry) {
        return Rect{};
    }
    const QRect box = entry->Widget->geometry();
    return Rect{box.x(), box.y(), box.width(), box.height()};
}

void QtWindowServices::SetText(int control, const std::string& text) {
    const ControlEntry* entry = FindControl(control);
    if (!entry) {
        return;
    }
    QWidget* widget = entry->Widget;
    switch (entry->Kind) {
        case ControlKind::Text:
            static_cast<QLabel*>(widget)->setText(ToQt(text));
            break;
        case ControlKind::TextField:
            static_cast<QLineEdit*>(widget)->setText(ToQt(text));
            break;
        case ControlKind::Button:
        case ControlKind::ToggleButton:
        case ControlKind::CheckBox:
            static_cast<QAbstractButton*>(widget)->setText(ButtonText(text));
            break;
        case ControlKind::TextOutput:
            static_cast<QPlainTextEdit*>(widget)->setPlainText(ToQt(text));
            break;
        default:
            break;
    }
}

std::string QtWindowServices::Text(int control) const {
    const ControlEntry* entry = FindControl(control);
    if (!entry) {
        return "";
    }
    QWidget* widget = entry->Widget;
    switch (entry->Kind) {
        case ControlKind::Text:
            return FromQt(static_cast<QLabel*>(widget)->text());
        case ControlKind::TextField:
            return FromQt(static_cast<QLineEdit*>(widget)->text());
        case ControlKind::Button:
        case ControlKind::ToggleButton:
        case ControlKind::CheckBox:
            return FromButtonText(static_cast<QAbstractButton*>(widget)->text());
        case ControlKind::TextOutput:
            return FromQt(static_cast<QPlainTextEdit*>(widget)->toPlainText());
        default:
            return "";
    }
}

QFont QtWindowServices::FontById(int font) const {
    auto it = Fonts_.find(font);
    return it == Fonts_.end() ? ControlFont_ : it->second;
}

void QtWindowServices::SetFont(int control, int font) {
    auto it = Controls_.find(control);
    assert(it != Controls_.end() && "no such control");
    if (it == Controls_.end()) {
        return;
    }
    it->second.Font = font;
    it->second.Widget->setFont(FontById(font));
}

int QtWindowServices::Font(int control) const {
    const ControlEntry* entry = FindControl(control);
    return entry ? entry->Font : DefaultFont;
}

void QtWindowServices::SetState(int control, int32_t state) {
    const ControlEntry* entry = FindControl(control);
    if (!entry) {
        return;
    }
    QWidget* widget = entry->Widget;
    Quietly(widget, [&] {
        switch (entry->Kind) {
            case ControlKind::ToggleButton:
            case ControlKind::CheckBox:
                static_cast<QAbstractButton*>(widget)->setChecked(state != 0);
                break;
            case ControlKind::TabPanel: {
                auto* panel = static_cast<QTabWidget*>(widget);
                if (state >= 0 && state < panel->count()) {
                    panel->setCurrentIndex(state);
                }
                break;
            }
            case ControlKind::IPv4Field:
                static_cast<IPv4Edit*>(widget)->SetValue(static_cast<uint32_t>(state));
                break;
            case ControlKind::ListBox: {
                auto* list = static_cast<QListWidget*>(widget);
                list->clearSelection();
                if (QListWidgetItem* item = list->item(state)) {
                    list->setCurrentItem(item);
                    list->scrollToItem(item);
                } else {
                    list->setCurrentRow(-1);
                }
                break;
            }
            case ControlKind::DropDown: {
                auto* box = static_cast<QComboBox*>(widget);
                box->setCurrentIndex(state >= 0 && state < box->count() ? state : -1);
                break;
            }
            case ControlKind::ListView:
                static_cast<ReportView*>(widget)->SelectRow(state);
                break;
            default:
                break;
        }
    });
}

int32_t QtWindowServices::State(int control) const {
    const ControlEntry* entry = FindControl(control);
    if (!entry) {
        return 0;
    }
    QWidget* widget = entry->Widget;
    switch (entry->Kind) {
        case ControlKind::ToggleButton:
        case ControlKind::CheckBox:
            return static_cast<QAbstractButton*>(widget)->isChecked() ? 1 : 0;
        case ControlKind::TabPanel:
            return static_cast<QTabWidget*>(widget)->currentIndex();
        case ControlKind::IPv4Field:
            return static_cast<int32_t>(static_cast<IPv4Edit*>(widget)->Value());
        case ControlKind::ListBox: {
            auto* list = static_cast<QListWidget*>(widget);
            const QList<QListWidgetItem*> selected = list->selectedItems();
            return selected.isEmpty() ? -1 : list->row(selected.front());
        }
        case ControlKind::DropDown:
            return static_cast<QComboBox*>(widget)->currentIndex();
        case ControlKind::ListView:
            return static_cast<ReportView*>(widget)->SelectedRow();
        default:
            return 0;
    }
}

void QtWindowServices::SetFocus(int control) {
    if (const ControlEntry* entry = FindControl(control)) {
        entry->Widget->setFocus(Qt::OtherFocusReason);
    }
}

int QtWindowServices::FocusedControl() const {
    // The focus may sit in a part of a composite control (the address field's numbers).
    for (QWidget* focus = QApplication::focusWidget(); focus; focus = focus->parentWidget()) {
        for (const auto& [id, entry] : Controls_) {
            if (entry.Widget == focus) {
                return id;
            }
        }
    }
    return -1;
}

int QtWindowServices::AddTabPage(int panel, const std::string& title) {
    const ControlEntry* entry = FindControl(panel);
    if (!entry || entry->Kind != ControlKind::TabPanel) {
        return -1;
    }
    auto* tabs = static_cast<QTabWidget*>(entry->Widget);
    int page = -1;
    Quietly(tabs, [&] { page = tabs->addTab(new QWidget, ToQt(title)); });
    return page;
}

void QtWindowServices::AppendItem(int control, const std::string& text) {
    const ControlEntry* entry = FindControl(control);
    if (!entry) {
        return;
    }
    Quietly(entry->Widget, [&] {
        if (entry->Kind == ControlKind::ListBox) {
            static_cast<QListWidget*>(entry->Widget)->addItem(ToQt(text));
        } else if (entry->Kind == ControlKind::DropDown) {
            // A combo box selects its first item by itself; the list has no selection until
            // the program or the user makes one.
            auto* box = static_cast<QComboBox*>(entry->Widget);
            const int selected = box->currentIndex();
            box->addItem(ToQt(text));
            box->setCurrentIndex(selected);
        }
    });
}

int QtWindowServices::ItemCount(int control) const {
    const ControlEntry* entry = FindControl(control);
    if (!entry) {
        return 0;
    }
    switch (entry->Kind) {
        case ControlKind::ListBox:
            return static_cast<QListWidget*>(entry->Widget)->count();
        case ControlKind::DropDown:
            return static_cast<QComboBox*>(entry->Widget)->count();
        case ControlKind::TabPanel:
            return static_cast<QTabWidget*>(entry->Widget)->count();
        default:
            return 0;
    }
}

void QtWindowServices::SetItemText(int control, int item, const std::string& text) {
    const ControlEntry* entry = FindControl(control);
    if (!entry) {
        return;
    }
    Quietly(entry->Widget, [&] {
        if (entry->Kind == ControlKind::ListBox) {
            if (QListWidgetItem* row = static_cast<QListWidget*>(entry->Widget)->item(item)) {
                row->setText(ToQt(text));
            }
        } else if (entry->Kind == ControlKind::DropDown) {
            auto* box = static_cast<QComboBox*>(entry->Widget);
            if (item >= 0 && item < box->count()) {
                box->setItemText(item, ToQt(text));
            }
        }
    });
}

std::string QtWindowServices::ItemText(int control, int item) const {
    const ControlEntry* entry = FindControl(control);
    if (!entry) {
        return "";
    }
    if (entry->Kind == ControlKind::ListBox) {
        const QListWidgetItem* row = static_cast<QListWidget*>(entry->Widget)->item(item);
        return row ? FromQt(row->text()) : "";
    }
    if (entry->Kind == ControlKind::DropDown) {
        auto* box = static_cast<QComboBox*>(entry->Widget);
        return item >= 0 && item < box->count() ? FromQt(box->itemText(item)) : "";
    }
    return "";
}

void QtWindowServices::ClearItems(int control) {
    const ControlEntry* entry = FindControl(control);
    if (!entry) {
        return;
    }
    Quietly(entry->Widget, [&] {
        if (entry->Kind == ControlKind::ListBox) {
            static_cast<QListWidget*>(entry->Widget)->clear();
        } else if (entry->Kind == ControlKind::DropDown) {
            static_cast<QComboBox*>(entry->Widget)->clear();
        }
    });
}

ReportView* QtWindowServices::ListView(int list) const {
    const ControlEntry* entry = FindControl(list);
    assert((!entry || entry->Kind == ControlKind::ListView) && "not a list view");
    return entry && entry->Kind == ControlKind::ListView ? static_cast<ReportView*>(entry->Widget)
                                                         : nullptr;
}

void QtWindowServices::AddColumn(int list, const std::string& title, int width) {
    if (ReportView* view = ListView(list)) {
        view->AddColumn(title, width);
    }
}

int QtWindowServices::RowCount(int list) const {
    const ReportView* view = ListView(list);
    return view ? view->Model().rowCount() : 0;
}

void QtWindowServices::AppendRow(int list) {
    if (ReportView* view = ListView(list)) {
        view->AppendRow();
    }
}

void QtWindowServices::RemoveRow(int list, int row) {
    ReportView* view = ListView(list);
    assert(view && row >= 0 && row < view->Model().rowCount() && "no such row");
    if (view) {
        view->RemoveRow(row);
    }
}

void QtWindowServices::MoveRow(int list, int from, int to) {
    ReportView* view = ListView(list);
    assert(view && from >= 0 && from < view->Model().rowCount() && to >= 0 &&
           to < view->Model().rowCount() && "no such row");
    if (view) {
        view->MoveRow(from, to);
    }
}

namespace {

// A cell the program writes: the row must exist, the column must have been added.
[[maybe_unused]] bool IsCell(const ReportView* view, int row, int column) {
    return view && row >= 0 && row < view->Model().rowCount() && column >= 0 &&
           column < view->Model().columnCount();
}

}  // namespace

void QtWindowServices::SetCellText(int list, int row, int column, const std::string& text) {
    ReportView* view = ListView(list);
    assert(IsCell(view, row, column) && "no such cell");
    if (view) {
        view->SetText(row, column, text);
    }
}

std::string QtWindowServices::CellText(int list, int row, int column) const {
    const ReportView* view = ListView(list);
    return view ? view->Model().Text(row, column) : "";
}

void QtWindowServices::SetCellColour(int list, int row, int column, int32_t rgb) {
    ReportView* view = ListView(list);
    assert(IsCell(view, row, column) && "no such cell");
    if (view) {
        view->SetColour(row, column, rgb == DefaultColour ? DefaultColour : rgb & 0xFFFFFF);
    }
}

int32_t QtWindowServices::CellColour(int list, int row, int column) const {
    const ReportView* view = ListView(list);
    return view ? view->Model().Colour(row, column) : DefaultColour;
}

void QtWindowServices::SetRowRef(int list, int row, void* ref) {
    ReportView* view = ListView(list);
    assert(IsCell(view, row, 0) && "no such row");
    if (view) {
        view->Model().SetRef(row, ref);
    }
}

void* QtWindowServices::RowRef(int list, int row) const {
    const ReportView* view = ListView(list);
    return view ? view->Model().Ref(row) : nullptr;
}

void QtWindowServices::AppendLine(int output, const std::string& line) {
    const ControlEntry* entry = FindControl(output);
    if (!entry || entry->Kind != ControlKind::TextOutput) {
        return;
    }
    auto* text = static_cast<QPlainTextEdit*>(entry->Widget);
    text->appendPlainText(ToQt(line));
    text->verticalScrollBar()->setValue(text->verticalScrollBar()->maximum());
    text->horizontalScrollBar()->setValue(0);
}

void QtWindowServices::SetImage(int control, int picture) {
    const ControlEntry* entry = FindControl(control);
    Picture* shown = Pictures_.Find(picture);
    assert(shown && "no such picture");
    if (!entry || entry->Kind != ControlKind::Image || !shown) {
        return;
    }
    auto* image = static_cast<ImageLabel*>(entry->Widget);
    image->setPixmap(QPixmap::fromImage(ImageOver(*shown)));  // fromImage copies the pixels
    image->resize(shown->Width, shown->Height);
}

// Fonts, pictures, text drawing

int QtWindowServices::CreateFont(const std::string& face, int points, bool bold) {
    // Points to pixels with the screen's vertical dots per inch, rounded as the program's
    // layouts were measured.
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    const int pixels = static_cast<int>(std::lround(points * dpi / 72.0));
    const int id = NextId();
    Fonts_[id] = MakeFont(ToQt(face), pixels, bold);
    return id;
}

int QtWindowServices::CreatePicture(int width, int height, int number) {
    const int id = number == AssignId ? NextId() : number;
    Pictures_.Create(id, width, height);
    return id;
}

bool QtWindowServices::LoadPicture(int number, const std::string& path) {
    return Pictures_.Load(number, path);
}

void QtWindowServices::FreePicture(int picture) {
    Pictures_.Free(picture);
}

const Picture* QtWindowServices::FindPicture(int picture) const {
    return Pictures_.Find(picture);
}

void QtWindowServices::FillBox(int picture, Rect box, int32_t rgb) {
    Pictures_.FillBox(picture, box, rgb);
}

void QtWindowServices::OutlineBox(int picture, Rect box, int32_t rgb) {
    Pictures_.OutlineBox(picture, box, rgb);
}

void QtWindowServices::DrawPicture(int picture, int source, int x, int y) {
    Pictures_.DrawPicture(picture, source, x, y);
}

void QtWindowServices::DrawText(int picture, int x, int y, const std::string& text, int32_t front,
                                int32_t back) {
    Picture* target = Pictures_.Find(picture);
    if (!target || target->Width <= 0 || target->Height <= 0) {
        return;
    }
    QImage image = ImageOver(*target);
    QPainter painter(&image);
    painter.setFont(DrawingFont_);
    const QFontMetrics metrics(DrawingFont_);
    const QString shown = ToQt(text);
    // x, y is the top-left corner of the text's cell, which is filled with the back colour.
    painter.fillRect(QRect(x, y, metrics.horizontalAdvance(shown), metrics.height()),
                     ColourOf(back));
    painter.setPen(ColourOf(front));
    painter.drawText(x, y + metrics.ascent(), shown);
}

int QtWindowServices::TextWidth(const std::string& text) {
    return QFontMetrics(DrawingFont_).horizontalAdvance(ToQt(text));
}

// Mouse, message boxes and the desktop

Point QtWindowServices::MouseInWindow(int window) const {
    auto it = Windows_.find(window);
    if (it == Windows_.end() || !it->second.Widget->isVisible()) {
        return Point{};
    }
    const QWidget* widget = it->second.Widget;
    const QPoint inside = widget->mapFromGlobal(QCursor::pos());
    if (!widget->rect().contains(inside)) {
        return Point{};
    }
    return Point{inside.x(), inside.y()};
}

Point QtWindowServices::MouseOnDesktop() const {
    const QPoint position = QCursor::pos();
    return Point{position.x(), position.y()};
}

void QtWindowServices::MessageBox(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, ToQt(title), ToQt(text), QMessageBox::Ok, BoxOwner());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtWindowServices::AskYesNo(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, ToQt(title), ToQt(text), QMessageBox::NoButton,
                    BoxOwner());
    box.setTextFormat(Qt::PlainText);
    // The program's own words, whatever language Qt's standard buttons would speak.
    QPushButton* yes = box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Nein"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

// Without an owner a box is a window of its own, which a window manager may open behind
// another application's: a lost connection would then go unseen while the program waits on it.
QWidget* QtWindowServices::BoxOwner() const {
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    for (auto it = Shown_.rbegin(); it != Shown_.rend(); ++it) {
        if (const WindowEntry* entry = FindWindow(*it); entry && entry->Widget->isVisible()) {
            return entry->Widget;
        }
    }
    return nullptr;
}

void QtWindowServices::NoteShown(int window) {
    if (FindWindow(window)->Owner < 0) {
        std::erase(Shown_, window);
        Shown_.push_back(window);
    }
}

bool QtWindowServices::OpenFolder(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(ToQt(path)));
}

// Outside the interface

bool QtWindowServices::GrabWindow(int window, const std::string& path) const {
    auto it = Windows_.find(window);
    return it != Windows_.end() && it->second.Widget->grab().save(ToQt(path), "PNG");
}

QWidget* QtWindowServices::WindowWidget(int window) const {
    auto it = Windows_.find(window);
    return it == Windows_.end() ? nullptr : it->second.Widget;
}

QWidget* QtWindowServices::ControlWidget(int control) const {
    auto it = Controls_.find(control);
    return it == Controls_.end() ? nullptr : it->second.Widget;
}

}  // namespace tavlora
