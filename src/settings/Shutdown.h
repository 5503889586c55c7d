#pragma once

// Once the main window has begun to close, nothing new starts: no datagram is sent, no
// window opens and no write is queued, other than the close's own settings and recall
// writes. Everything that sends or schedules work asks ShuttingDown() first.
void BeginShutdown();
bool ShuttingDown();
// A main window that opens ends a close that an earlier one began (tests open several
// windows, one after another, in one process).
void EndShutdown();
