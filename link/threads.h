// Worker threads for exchanges off the caller's thread: the serial layer's objects want threads
// of the serial layer's own kind, so it starts them (link/qt/threads.cpp). No Qt here.
#pragma once

struct WorkerThreads;

// Runs body(index, context) for index 0..count-1, each on a thread of its own, and returns at
// once. Null when count is below 1 or the threads cannot be made.
WorkerThreads *start_worker_threads(int count, void (*body)(int index, void *context),
                                    void *context);
// Waits until every body has returned and frees the threads. Harmless for null.
void join_worker_threads(WorkerThreads *threads);
