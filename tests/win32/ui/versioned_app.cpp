// A program that does nothing; it exists for its version record and icon-less file.
int main() { return 0; }
