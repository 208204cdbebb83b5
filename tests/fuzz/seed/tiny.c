/* The smallest program a seed book needs: an entry point and nothing else. */
void start(void) {}
