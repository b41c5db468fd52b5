int lookup(int key);
int twiceLookup(int key);
