// SPDX-License-Identifier: GPL-3.0-or-later
// The few widgets the Qt backend needs beyond Qt's own: a top-level window whose close box
// only reports, an image that reports clicks, the four-number IPv4 address field, a
// validator that accepts text character by character, and the catcher of a window's keys.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QValidator>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <map>

namespace tavlora {

// A window of the program. Its close box calls OnClose and leaves the window open, since
// the program decides what closing means (end, hide, nothing).
class ClientWindow : public QWidget {
public:
    ClientWindow(QWidget* owner, Qt::WindowFlags flags) : QWidget(owner, flags) {}
    std::function<void()> OnClose;

protected:
    void closeEvent(QCloseEvent* event) override;
};

// Shows a pixmap at its natural size; a press of the left mouse button calls OnClick.
class ImageLabel : public QLabel {
public:
    explicit ImageLabel(QWidget* parent) : QLabel(parent) {}
    std::function<void()> OnClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// Accepts a text when every character passes the test and the whole passes the second one.
class CharacterValidator : public QValidator {
public:
    CharacterValidator(std::function<bool(QChar)> character,
                       std::function<bool(const QString&)> whole, QObject* parent)
        : QValidator(parent), Character_(std::move(character)), Whole_(std::move(whole)) {}
    State validate(QString& input, int& position) const override;

private:
    std::function<bool(QChar)> Character_;
    std::function<bool(const QString&)> Whole_;
};

// Four numbers of 0 to 255 between dots, in one box drawn like a text field. A dot or a
// third digit moves on to the next number, Backspace at a number's start back to the
// previous one.
class IPv4Edit : public QWidget {
public:
    explicit IPv4Edit(QWidget* parent);
    // The first number in the lowest byte; an empty number counts as 0.
    uint32_t Value() const;
    void SetValue(uint32_t value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FocusPart(int part);

    std::array<QLineEdit*, 4> Parts_{};
    std::array<QLabel*, 3> Dots_{};
};

// Installed on the application: takes every key meant for a widget of a capturing window
// before the widget sees it, Space and Return on a focused button included, and hands the
// presses on to OnKey with the window's identifier and the program's key code.
class KeyCatcher : public QObject {
public:
    void Capture(QWidget* window, int id) { Windows_[window] = id; }
    void Release(QWidget* window) { Windows_.erase(window); }
    std::function<void(int window, int key)> OnKey;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::map<QWidget*, int> Windows_;
};

}  // namespace tavlora
