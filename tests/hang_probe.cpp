// Prints one line and then never ends, for wine_run_timeout.sh.
#include <windows.h>
#include <cstdio>

int main()
{
    printf("hang_probe: printed before the time-out\n");
    fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
