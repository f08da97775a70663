#pragma once

// The one channel from the user's commands to a running walk: the commands set it while a
// scan runs, the walk tests it and unwinds, and the scan's closing steps clear it.
extern bool StopRequested;
