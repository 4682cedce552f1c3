// A small program for launch tests: it only waits, and ends by itself after
// 20 s should the test not end it first.
#include <unistd.h>

int main()
{
    for (int second = 0; second < 20; ++second)
        ::sleep(1);
    return 0;
}
