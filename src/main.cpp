#include <cstdio>

int main() {
    std::puts("Tavlora: only the chess rules core is built so far; no window exists yet.");
    return 0;
}
