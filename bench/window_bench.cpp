// The window's benchmark: filled in with the status line measurements.
int main() { return 0; }
