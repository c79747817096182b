#pragma once

namespace ovik {

// Has the kernel schedule the calling thread, and the threads it starts
// from then on, as throughput work: woken, it waits for the running
// thread's turn to end rather than take its processor at once. The threads
// of a run wake each other every few files; taken at every wake, the
// processor would switch tasks, and stop a thread holding a lock that the
// woken one then waits for, many times as often.
void ScheduleAsThroughputWork();

// Names the calling thread (ps and top show its first 15 bytes) and
// schedules it as throughput work.
void StartWorkThread(const char* name);

}  // namespace ovik
