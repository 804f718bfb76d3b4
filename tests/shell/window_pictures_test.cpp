// SPDX-License-Identifier: GPL-3.0-or-later
// The settings window and the lobby on the real Qt backend (offscreen): every control inside
// the window, every text of the program within its control, and a PNG of each look (the
// three tabs; the lobby before and after the start) for a person to view. The pictures go to
// $TAVLORA_PICTURE_DIR, or to the test's temporary folder.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <cstdlib>
#include <memory>

#include "gamewindow/game_window.h"
#include "platform/qt/qt_window_services.h"
#include "shell/lobby.h"
#include "shell/settings_window.h"

namespace tavlora {
namespace {

class QtApplicationEnvironment : public testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "window_pictures_test";
        static char* argv[] = {name, nullptr};
        Application_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { Application_.reset(); }

private:
    std::unique_ptr<QApplication> Application_;
};

[[maybe_unused]] testing::Environment* const QtEnvironment =
    testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// The arguments the backend would take if no application were running yet.
int Argc = 0;

std::string PicturePath(const std::string& name) {
    const char* folder = std::getenv("TAVLORA_PICTURE_DIR");
    return (folder && *folder ? std::string(folder) + "/" : testing::TempDir()) + name;
}

// Room a push button's frame takes from its text, on either side together.
constexpr int ButtonPadding = 8;

// Every widget lies inside the client area, and every text of a label, button, check box,
// tab and column title fits the room it has.
void ExpectEverythingFits(QWidget* window) {
    const QRect client = window->rect();
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->parentWidget() == window && widget->isVisibleTo(window)) {
            EXPECT_TRUE(client.contains(widget->geometry()))
                << widget->metaObject()->className() << " at " << widget->x() << "," << widget->y()
                << " size " << widget->width() << "x" << widget->height();
        }
    }
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()),
                      label->contentsRect().width())
                << label->text().toStdString();
            EXPECT_LE(label->fontMetrics().height(), label->height())
                << label->text().toStdString();
        }
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (auto* box = qobject_cast<QCheckBox*>(button)) {
            EXPECT_LE(box->sizeHint().width(), box->width()) << box->text().toStdString();
        } else if (!button->text().isEmpty()) {
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + ButtonPadding,
                      button->width())
                << button->text().toStdString();
        }
    }
    for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
        const QTabBar* bar = tabs->tabBar();
        EXPECT_LE(bar->tabRect(bar->count() - 1).right(), tabs->width());
    }
    for (QTreeView* list : window->findChildren<QTreeView*>()) {
        const QHeaderView* header = list->header();
        for (int column = 0; column < list->model()->columnCount(); ++column) {
            const QString title = list->model()->headerData(column, Qt::Horizontal).toString();
            EXPECT_LE(header->fontMetrics().horizontalAdvance(title) + ButtonPadding,
                      header->sectionSize(column))
                << title.toStdString();
        }
    }
}

TEST(WindowPicturesTest, SettingsWindowOnEachTab) {
    QtWindowServices services(Argc, nullptr);
    ProgramState state;
    const SettingsEnvironment environment{"", "rechner"};  // no file: the defaults

    bool looked = false;
    QTimer::singleShot(0, [&] {
        QWidget* window = services.WindowWidget(SettingsWindowId);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle().toStdString(), "Tavlora - Einstellungen");
        const char* const names[] = {"settings_server.png", "settings_client.png",
                                     "settings_single.png"};
        // The longer of the two status texts, so its fit is checked too.
        services.SetText(SettingsControls::ConnectStatus, "Warte auf Daten des Servers...");
        for (int tab = ServerMode; tab <= SinglePlayerMode; ++tab) {
            services.SetState(SettingsControls::ModePanel, tab);
            QApplication::processEvents();
            ExpectEverythingFits(window);
            EXPECT_TRUE(services.GrabWindow(SettingsWindowId, PicturePath(names[tab])));
            std::printf("picture: %s\n", PicturePath(names[tab]).c_str());
        }
        looked = true;
        window->close();  // the close box
    });
    EXPECT_EQ(RunSettingsWindow(services, state, environment), SettingsOutcome::EndProgram);
    EXPECT_TRUE(looked);
}

TEST(WindowPicturesTest, LobbyBeforeAndAfterTheStart) {
    QtWindowServices services(Argc, nullptr);
    ProgramState state;
    state.TickCount = [] { return 0u; };
    state.MaxPlayer = 8;
    state.PlayerCount = 4;
    state.Role = PlayRole::Server;
    state.OwnPlayerIndex = 0;
    state.TimeByPlayer = 30;
    state.TimeByMove = 2;
    state.Players.resize(9);
    const char* const names[] = {"Anna", "Bert", "Cleo", "Dora"};
    for (int i = 0; i < 4; ++i) {
        state.Players[i].PlayerName = names[i];
    }
    state.Players[0].PlayerReady = state.Players[2].PlayerReady = 1;
    state.PlayPhase = LobbyPhase;
    GameWindow gameWindow(services, state, services.CreateFont("MS Sans Serif", 14, true),
                          services.CreateFont("MS Sans Serif", 10, true));
    Lobby lobby(services, state, gameWindow);

    lobby.BuildLobbyWindow();
    lobby.AppendChatLine("<Anna> Willkommen!");
    lobby.AppendChatLine("<Bert> Hallo zusammen");
    lobby.ShowChanges();
    QWidget* window = services.WindowWidget(LobbyWindowId);
    ASSERT_NE(window, nullptr);
    QApplication::processEvents();
    ExpectEverythingFits(window);
    EXPECT_TRUE(services.GrabWindow(LobbyWindowId, PicturePath("lobby_gathering.png")));
    std::printf("picture: %s\n", PicturePath("lobby_gathering.png").c_str());

    for (int32_t i = 0; i < 4; ++i) {
        for (int32_t j = i + 1; j < 4; ++j) {
            CreateGame(state.Games, i, j, White, state);
        }
    }
    state.Games[1].SideToMove = Black;
    state.Games[2].State = Checkmate;
    state.Games[2].Result = Black;
    state.PlayPhase = GamesStartedPhase;
    lobby.ShowGamesStarted();
    services.SetState(LobbyControls::ShowAllGamesBox, 1);
    lobby.RefreshGamesList();
    QApplication::processEvents();
    EXPECT_EQ(window->height(), 625);
    ExpectEverythingFits(window);
    EXPECT_TRUE(services.GrabWindow(LobbyWindowId, PicturePath("lobby_games.png")));
    std::printf("picture: %s\n", PicturePath("lobby_games.png").c_str());
}

}  // namespace
}  // namespace tavlora
