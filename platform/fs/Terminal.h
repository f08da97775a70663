#pragma once

// The terminal behind the program's error stream, for a progress line that is redrawn in
// place. Neither call writes anything.

// True when the error stream is a terminal (a console on Windows), false when it goes to a
// file, a pipe or nowhere.
bool ErrorStreamIsTerminal();

// How many characters a line of that terminal holds; 80 when it cannot be found out.
int ErrorStreamColumns();
