// SPDX-License-Identifier: GPL-3.0-or-later
// The backend's own widgets.
#include "platform/qt/qt_widgets.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

#include "platform/window_services.h"

namespace tavlora {

void ClientWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (OnClose) {
        OnClose();
    }
}

void ImageLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && OnClick) {
        OnClick();
    }
    QLabel::mousePressEvent(event);
}

QValidator::State CharacterValidator::validate(QString& input, int& /*position*/) const {
    for (QChar c : input) {
        if (!Character_(c)) {
            return Invalid;
        }
    }
    return !Whole_ || Whole_(input) ? Acceptable : Invalid;
}

namespace {

constexpr int DotWidth = 6;

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

}  // namespace

IPv4Edit::IPv4Edit(QWidget* parent) : QWidget(parent) {
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    setContentsMargins(frame, frame, frame, frame);
    setAttribute(Qt::WA_StyledBackground);
    for (size_t i = 0; i < Parts_.size(); ++i) {
        auto* part = new QLineEdit(this);
        part->setFrame(false);
        part->setAlignment(Qt::AlignCenter);
        part->setMaxLength(3);
        part->setValidator(new CharacterValidator(
            IsDigit, [](const QString& text) { return text.isEmpty() || text.toInt() <= 255; },
            part));
        part->installEventFilter(this);
        connect(part, &QLineEdit::textEdited, this, [this, i, part](const QString& text) {
            if (text.size() == 3 && part->cursorPosition() == 3 && i + 1 < Parts_.size()) {
                FocusPart(static_cast<int>(i) + 1);
            }
        });
        Parts_[i] = part;
    }
    for (QLabel*& dot : Dots_) {
        dot = new QLabel(QStringLiteral("."), this);
        dot->setAlignment(Qt::AlignCenter);
        dot->setBackgroundRole(QPalette::Base);
    }
}

void IPv4Edit::paintEvent(QPaintEvent* /*event*/) {
    QStyleOptionFrame option;
    option.initFrom(this);
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    if (std::ranges::any_of(Parts_, [](const QLineEdit* part) { return part->hasFocus(); })) {
        option.state |= QStyle::State_HasFocus;
    }
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
}

uint32_t IPv4Edit::Value() const {
    uint32_t value = 0;
    for (size_t i = 0; i < Parts_.size(); ++i) {
        value |= static_cast<uint32_t>(Parts_[i]->text().toUInt() & 0xFF) << (8 * i);
    }
    return value;
}

void IPv4Edit::SetValue(uint32_t value) {
    for (size_t i = 0; i < Parts_.size(); ++i) {
        Parts_[i]->setText(QString::number((value >> (8 * i)) & 0xFF));
    }
}

void IPv4Edit::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QRect inside = contentsRect();
    const int partWidth = (inside.width() - 3 * DotWidth) / 4;
    int x = inside.x();
    for (size_t i = 0; i < Parts_.size(); ++i) {
        Parts_[i]->setGeometry(x, inside.y(), partWidth, inside.height());
        x += partWidth;
        if (i < Dots_.size()) {
            Dots_[i]->setGeometry(x, inside.y(), DotWidth, inside.height());
            x += DotWidth;
        }
    }
}

bool IPv4Edit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        update();  // the box shows whether one of its numbers has the focus
    }
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    for (size_t i = 0; i < Parts_.size(); ++i) {
        if (Parts_[i] != watched) {
            continue;
        }
        const bool dot = key->key() == Qt::Key_Period || key->key() == Qt::Key_Comma;
        if (dot) {
            if (!Parts_[i]->text().isEmpty() && i + 1 < Parts_.size()) {
                FocusPart(static_cast<int>(i) + 1);
            }
            return true;
        }
        if (key->key() == Qt::Key_Backspace && Parts_[i]->cursorPosition() == 0 && i > 0) {
            QLineEdit* previous = Parts_[i - 1];
            previous->setFocus(Qt::OtherFocusReason);
            previous->deselect();
            previous->end(false);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void IPv4Edit::FocusPart(int part) {
    Parts_[part]->setFocus(Qt::OtherFocusReason);
    Parts_[part]->selectAll();
}

namespace {

// The program's code of a key, or -1 for a key it does not take.
int KeyCodeOf(const QKeyEvent& key) {
    switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return ReturnKey;
        case Qt::Key_Backspace:
            return BackspaceKey;
        case Qt::Key_Escape:
            return EscapeKey;
        default:
            break;
    }
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        return -1;
    }
    const QString text = key.text();
    if (text.size() != 1) {
        return -1;
    }
    const char16_t c = text[0].unicode();
    const bool printable = (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF);
    return printable ? c : -1;
}

}  // namespace

bool KeyCatcher::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
        type != QEvent::ShortcutOverride) {
        return false;
    }
    // The window system hands a key to the window's QWindow first and to the widget next;
    // only the widget's delivery counts, so every key is reported once.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget) {
        return false;
    }
    auto it = Windows_.find(widget->window());
    if (it == Windows_.end()) {
        return false;
    }
    // Accepted, a shortcut override keeps the key from any shortcut; the key itself then
    // arrives here as a press, which no widget of the window gets to see.
    event->accept();
    if (type == QEvent::KeyPress && OnKey) {
        const int key = KeyCodeOf(*static_cast<QKeyEvent*>(event));
        if (key >= 0) {
            OnKey(it->second, key);
        }
    }
    return true;
}

}  // namespace tavlora
