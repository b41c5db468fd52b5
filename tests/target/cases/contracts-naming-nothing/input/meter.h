struct Meter {
    int value = 0;
    int read();
    int read(int scale) const;
};
