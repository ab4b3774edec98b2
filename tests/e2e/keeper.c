/* Keeps Wine's desktop process alive for the length of a test run. */
#include <windows.h>

int main(void)
{
    GetDesktopWindow();
    for (;;) Sleep(100000);
}
