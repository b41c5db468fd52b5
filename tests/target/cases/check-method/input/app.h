struct Counter {
    int count = 0;
    void bump();
};
