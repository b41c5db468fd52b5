// Never returns.
void spin();
