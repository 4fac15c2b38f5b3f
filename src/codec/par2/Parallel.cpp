#include "codec/par2/Parallel.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

void RunParallel(int jobs, const std::function<void(int)>& job)
{
    std::atomic<int> next = 0;
    const auto work = [&] {
        for (int k = next++; k < jobs; k = next++)
            job(k);
    };
    const int threads = std::min(jobs, std::max(1, QThread::idealThreadCount()));
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& t : helpers)
        t.join();
}
