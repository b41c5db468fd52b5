struct Meter {
    int value = 0;
    int read() { return value; }
};
