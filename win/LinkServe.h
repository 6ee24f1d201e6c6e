// The helper's resident mode: one process and one connection for the calling
// program's life. Requests arrive as lines on standard input, each answered by one
// line on standard output, "ok" or "error <what> failed: 0x........ <text>":
//   connect                     attach to the running map program, else start it; advise the sink
//   attach                      the same, but never start the map program
//   redraw                      the 30th method
//   zoom LEFT TOP RIGHT BOTTOM  the zoom's three calls
//   quit                        unadvise, release, answer, end (also at the end of input)
// Unasked, a line "closed" tells that the map program fired its closing event, and
// "gone <reason>" that it went away without it (noticed within a second); either
// ends the helper. A call that finds the map program gone is answered "error" right
// after its "gone" line. A new helper makes the next link: a Wine process that has held a
// link to a server that went away cannot reach the server's successor (measured
// with Wine 8.0), where a new process can.
#pragma once

namespace link {

/// Runs the resident mode on the calling thread (COM already started); the exit status.
int Serve();

} // namespace link
