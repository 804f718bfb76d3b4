// SPDX-License-Identifier: GPL-3.0-or-later
// The standings: points, Sonneborn-Berger, order and shared places from hand-checked
// tournaments, and the game-by-game bookkeeping against a count from scratch.
#include "rules/standings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "rules_support.h"

namespace tavlora {
namespace {

struct Finished {
    int32_t white;
    int32_t black;
    int32_t result;  // White, Black or Draw
};

GameValue GameOf(const Finished& finished) {
    GameValue game{};
    game.PlayerIndex[White] = finished.white;
    game.PlayerIndex[Black] = finished.black;
    game.Result = finished.result;
    return game;
}

struct Expected {
    int32_t place;
    int32_t participant;
    int32_t halfPoints;
    int32_t games;
    int32_t wins;
    int32_t draws;
    int32_t losses;
    int32_t quarterSb;
};

struct StandingsCase {
    const char* name;
    std::vector<std::string> names;
    std::vector<Finished> games;
    std::vector<Expected> rows;  // in order
};

class StandingsTable : public testing::TestWithParam<StandingsCase> {};

TEST_P(StandingsTable, PointsSonnebornBergerOrderAndPlaces) {
    const StandingsCase& c = GetParam();
    Standings standings(static_cast<int32_t>(c.names.size()));
    for (const Finished& game : c.games) {
        standings.AddGame(GameOf(game));
    }
    const auto& ranked = standings.Ranked(
        [&c](int32_t participant) -> std::string_view { return c.names[participant]; });
    ASSERT_EQ(ranked.size(), c.rows.size());
    for (size_t i = 0; i < ranked.size(); ++i) {
        const StandingsRow& row = ranked[i];
        const Expected& want = c.rows[i];
        EXPECT_EQ((std::vector{row.Place, row.Participant, row.HalfPoints, row.Games, row.Wins,
                               row.Draws, row.Losses, row.QuarterSb}),
                  (std::vector{want.place, want.participant, want.halfPoints, want.games, want.wins,
                               want.draws, want.losses, want.quarterSb}))
            << "row " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tournaments, StandingsTable,
    testing::Values(
        // Bert and Anna have 1½ each; Bert beat the winner, so his Sonneborn-Berger is higher.
        StandingsCase{"SonnebornBergerBreaksEqualPoints",
                      {"Anna", "Bert", "Cleo", "Dirk"},
                      {{0, 3, White},
                       {1, 2, White},
                       {2, 3, White},
                       {0, 1, Draw},
                       {2, 0, White},
                       {3, 1, White}},
                      {{1, 2, 4, 3, 2, 0, 1, 10},
                       {2, 1, 3, 3, 1, 1, 1, 11},
                       {3, 0, 3, 3, 1, 1, 1, 7},
                       {4, 3, 2, 3, 1, 0, 2, 6}}},
        // Anna (a win and a loss) and Bert (two draws) are equal in points and SB: Anna's win
        // puts her first. Cleo and Eva are equal but for the name: they share a place, in the
        // order of their names. Unfinished games count nothing.
        StandingsCase{"WinsBreakEqualPointsNamesOnlyOrderASharedPlace",
                      {"Anna", "Bert", "Cleo", "Dirk", "Eva"},
                      {{0, 4, White}, {3, 0, White}, {1, 2, Draw}, {4, 1, Draw}, {0, 1, Undecided}},
                      {{1, 3, 2, 1, 1, 0, 0, 4},
                       {2, 0, 2, 2, 1, 0, 1, 2},
                       {3, 1, 2, 2, 0, 2, 0, 2},
                       {4, 2, 1, 1, 0, 1, 0, 2},
                       {4, 4, 1, 2, 0, 1, 1, 2}}},
        // Two participants of the same name with the same games share their place.
        StandingsCase{
            "EqualInEverythingShareAPlace",
            {"Kim", "Lea", "Kim"},
            {{0, 1, Draw}, {1, 2, Draw}},
            {{1, 1, 2, 2, 0, 2, 0, 2}, {2, 0, 1, 1, 0, 1, 0, 2}, {2, 2, 1, 1, 0, 1, 0, 2}}},
        // Nothing counts from a game whose players are not in the tournament.
        StandingsCase{"StrangersCountNothing",
                      {"Anna", "Bert"},
                      {{0, 7, White}, {-1, 1, Black}, {1, 1, White}},
                      {{1, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 0, 0, 0, 0, 0, 0}}}),
    test::CaseName());

// Game by game, in any order, the standings agree with a count over all games at the end.
TEST(Standings, GameByGameAgreesWithACountFromScratch) {
    std::mt19937 random(20240309);
    constexpr int32_t Players = 9;
    for (int round = 0; round < 50; ++round) {
        std::vector<Finished> games;
        for (int32_t i = 0; i < Players; ++i) {
            for (int32_t j = i + 1; j < Players; ++j) {
                if (random() % 5 != 0) {  // some games still running
                    const int32_t result = static_cast<int32_t>(random() % 3) - 1;
                    games.push_back(random() % 2 ? Finished{i, j, result} : Finished{j, i, result});
                }
            }
        }
        std::shuffle(games.begin(), games.end(), random);
        Standings standings(Players);
        for (const Finished& game : games) {
            standings.AddGame(GameOf(game));
        }

        std::vector<int32_t> half(Players), quarterSb(Players);
        const auto score = [](const Finished& game, int32_t side) {
            return game.result == Draw ? 1 : game.result == side ? 2 : 0;
        };
        for (const Finished& game : games) {
            half[game.white] += score(game, White);
            half[game.black] += score(game, Black);
        }
        for (const Finished& game : games) {
            quarterSb[game.white] += score(game, White) * half[game.black];
            quarterSb[game.black] += score(game, Black) * half[game.white];
        }
        const auto& ranked = standings.Ranked([](int32_t) { return std::string_view("x"); });
        for (size_t i = 0; i < ranked.size(); ++i) {
            const StandingsRow& row = ranked[i];
            EXPECT_EQ(row.HalfPoints, half[row.Participant]);
            EXPECT_EQ(row.QuarterSb, quarterSb[row.Participant]);
            if (i > 0) {
                EXPECT_GE(ranked[i - 1].HalfPoints, row.HalfPoints);
            }
        }
    }
}

}  // namespace
}  // namespace tavlora
