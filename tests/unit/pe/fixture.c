#include <stdio.h>
int main(void) {
    puts("fixture ok");
    return 0;
}
