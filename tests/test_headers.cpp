// The program that carries the test programs' precompiled headers; it
// tests nothing and is never run.
int main() { return 0; }
