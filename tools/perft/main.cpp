// SPDX-License-Identifier: GPL-3.0-or-later
// perft "FEN" DEPTH [--divide]: prints the number of leaf nodes of the move tree, or with
// --divide one line per root move followed by the total.
#include <charconv>
#include <cstdio>
#include <string_view>

#include "perft/fen.h"
#include "perft/perft.h"

namespace {

constexpr int32_t MaxDepth = 12;

int Usage() {
    std::fputs("usage: perft \"FEN\" DEPTH [--divide]   (DEPTH 0 to 12)\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tavlora;
    if (argc < 3 || argc > 4) {
        return Usage();
    }
    const bool divide = argc == 4;
    if (divide && std::string_view(argv[3]) != "--divide") {
        return Usage();
    }
    const std::string_view depthText = argv[2];
    int32_t depth = -1;
    const auto [end, error] =
        std::from_chars(depthText.data(), depthText.data() + depthText.size(), depth);
    if (error != std::errc() || end != depthText.data() + depthText.size() || depth < 0 ||
        depth > MaxDepth) {
        return Usage();
    }

    RulesContext context;  // no clocks, no hand-over between two players at one board
    FenGame set = GameFromFen(argv[1], context.Scratch);
    if (!set.game) {
        std::fprintf(stderr, "perft: %s\n", set.error.c_str());
        return 2;
    }

    if (!divide || depth == 0) {
        std::printf("%llu\n", static_cast<unsigned long long>(Perft(*set.game, depth, context)));
        return 0;
    }
    unsigned long long total = 0;
    for (const DivideEntry& entry : Divide(*set.game, depth, context)) {
        std::printf("%s: %llu\n", CoordinateText(entry.RootMove).c_str(),
                    static_cast<unsigned long long>(entry.Nodes));
        total += entry.Nodes;
    }
    std::printf("\n%llu\n", total);
    return 0;
}
