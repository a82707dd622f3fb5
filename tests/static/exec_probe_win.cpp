// The smallest program of a flavour: scripts/test.sh runs it under Wine to
// learn whether this machine executes the flavour's code at all.
int main() { return 42; }
