# The tester changes the included script and translates again, but reports
# the trace of the run before.
printf '// another comment\n' >> cases.otd
"$ZEPPREPRO" -G C++ -O out.cc -OTI out.oti -TDF run.trace bank.otd 2>/dev/null
