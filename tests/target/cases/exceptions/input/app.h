int risky(int n);
