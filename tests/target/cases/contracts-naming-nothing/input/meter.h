#define GETTER(name) \
    int name() const { return value; }

struct Meter {
    int value = 0;
    int read();
    int read(int scale) const;
    constexpr int twice() const { return 2 * value; }
    GETTER(peek)
};
