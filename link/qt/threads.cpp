// Worker threads as QThreads.
#include "link/threads.h"

#include <QThread>

#include <memory>
#include <vector>

struct WorkerThreads {
    std::vector<std::unique_ptr<QThread>> threads;
};

WorkerThreads *start_worker_threads(int count, void (*body)(int index, void *context),
                                    void *context) {
    if (count < 1) return nullptr;
    auto workers = std::make_unique<WorkerThreads>();
    for (int i = 0; i < count; i++) {
        workers->threads.emplace_back(QThread::create([body, i, context] { body(i, context); }));
        workers->threads.back()->start();
    }
    return workers.release();
}

void join_worker_threads(WorkerThreads *threads) {
    if (!threads) return;
    for (auto &thread : threads->threads) thread->wait();
    delete threads;
}
