#pragma once
// Requests from outside to end the run: on Linux the signals a desktop logout,
// `kill` and Ctrl+C send (SIGTERM, SIGHUP, SIGINT). They are turned into bytes
// on a pipe, so the event loop learns of them as of any other input and the
// run ends through its normal path; nothing but write(2) happens in the
// signal handler. The Windows program ends through its window messages and
// does not use this. User-interface thread only.

namespace tarnwell {

// Starts catching the requests, once per process. Returns a descriptor that
// becomes readable when a request came, or -1 when the pipe or a handler could
// not be set up (the signals then keep their default action).
int CatchEndRequests();

// Takes every pending request off the descriptor without blocking. Returns the
// number of the first signal taken, or 0 when none was pending.
int TakeEndRequests();

}  // namespace tarnwell
