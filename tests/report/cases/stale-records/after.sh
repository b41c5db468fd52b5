# The tester inserts a line at the head of the included script, which moves
# every element's line, and translates again, but reports the trace of the
# run before. The source keeps its old time, so only the moved lines tell
# the record files apart: the checksum pair must change with them.
{ printf '// another comment\n'; cat cases.otd; } > cases.new && mv cases.new cases.otd
touch -d @1000000000 cases.otd
"$ZEPPREPRO" -G C++ -O out.cc -OTI out.oti -TDF run.trace bank.otd 2>/dev/null
