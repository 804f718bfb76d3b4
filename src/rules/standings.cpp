// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/standings.h"

#include <algorithm>
#include <tuple>

namespace tavlora {

Standings::Standings(int32_t participants)
    : rows_(static_cast<size_t>(std::max(participants, 0))), finished_(rows_.size()) {
    for (size_t i = 0; i < rows_.size(); ++i) {
        rows_[i].Participant = static_cast<int32_t>(i);
    }
}

void Standings::AddGame(const GameValue& game) {
    const int32_t white = game.PlayerIndex[White];
    const int32_t black = game.PlayerIndex[Black];
    const auto known = [this](int32_t participant) {
        return participant >= 0 && static_cast<size_t>(participant) < rows_.size();
    };
    if (game.Result == Undecided || !known(white) || !known(black) || white == black) {
        return;
    }
    const int32_t whiteScore = game.Result == Draw ? 1 : game.Result == White ? 2 : 0;
    const int32_t blackScore = 2 - whiteScore;
    for (const auto& [player, opponent, score] :
         {std::tuple{white, black, whiteScore}, std::tuple{black, white, blackScore}}) {
        StandingsRow& row = rows_[static_cast<size_t>(player)];
        ++row.Games;
        ++(score == 2 ? row.Wins : score == 1 ? row.Draws : row.Losses);
        // The new opponent's points as they stand now; Credit adds what this game gives him.
        row.QuarterSb += score * rows_[static_cast<size_t>(opponent)].HalfPoints;
        finished_[static_cast<size_t>(player)].push_back({opponent, score});
    }
    Credit(white, whiteScore);
    Credit(black, blackScore);
}

void Standings::Credit(int32_t participant, int32_t score) {
    rows_[static_cast<size_t>(participant)].HalfPoints += score;
    for (const Finished& game : finished_[static_cast<size_t>(participant)]) {
        // The opponent's score against participant weighs participant's points: 2 for a
        // win (all of them), 1 for a draw (half), 0 for a loss.
        const int32_t opponentScore = 2 - game.Score;
        rows_[static_cast<size_t>(game.Opponent)].QuarterSb += opponentScore * score;
    }
}

const std::vector<StandingsRow>& Standings::Ranked(const NameOf& nameOf) {
    ranked_ = rows_;
    const auto key = [](const StandingsRow& row) {
        return std::tuple{row.HalfPoints, row.QuarterSb, row.Wins};
    };
    std::ranges::sort(ranked_, [&](const StandingsRow& a, const StandingsRow& b) {
        if (key(a) != key(b)) {
            return key(a) > key(b);
        }
        const std::string_view nameA = nameOf(a.Participant);
        const std::string_view nameB = nameOf(b.Participant);
        // Equal rows keep the participants' order, so the list does not shuffle them.
        return nameA != nameB ? nameA < nameB : a.Participant < b.Participant;
    });
    for (size_t i = 0; i < ranked_.size(); ++i) {
        const bool shared = i > 0 && key(ranked_[i]) == key(ranked_[i - 1]);
        ranked_[i].Place = shared ? ranked_[i - 1].Place : static_cast<int32_t>(i) + 1;
    }
    return ranked_;
}

}  // namespace tavlora
