#pragma once

#include <functional>

// Runs job(0) .. job(jobs - 1) on every core, this thread among them, and returns when all
// have run. Jobs are taken in order, one at a time, by whichever thread is free.
void RunParallel(int jobs, const std::function<void(int)>& job);
