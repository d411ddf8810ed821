#include <cstdio>

int main() {
    std::puts("Kestrel: the window is not built yet.");
    return 0;
}
