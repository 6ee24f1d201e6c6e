// Program entry; the life cycle lives in app/.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("Stormfetch 2.9.1");
            return 0;
        }
    std::fputs("stormfetch: not yet runnable\n", stderr);
    return 1;
}
