// Recurses without end unless n is 0.
int depth(int n);
