// lv2-probe's count of the calls that may block (wait on a lock, a
// semaphore, a timer or a file) made while it lets a plug-in run.
#pragma once

namespace blocking_count {

void start();  // counts from here, on this thread only
void stop();
bool counting();
long made();          // since the program began
const char* first();  // the name of the first call counted, or null

}  // namespace blocking_count
