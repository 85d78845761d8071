#include "saver/worker.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "base/random.h"
#include "emulator/facts.h"
#include "emulator/runner.h"

struct RoundWorker::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable ended;
    bool stopping = false;
    bool finished = false;
    bool hasRequest = false;
    RoundRequest request;
    bool hasRound = false;
    Round round;
    std::atomic<bool> cancel{false};
    void (*notify)(void *) = nullptr;
    void *context = nullptr;
};

namespace {

// While a game runs after a search that met broken sets, the worker judges
// sets ahead, one step at a time, so the next search meets them remembered
// instead of asking the emulator, and the sets that start wait as the next
// rounds' choices. It rests once a run of steps learns nothing more (the
// folder is known, or enough rounds are ready), and a request is served after
// at most the step under way.
constexpr int kAheadStepMs = 100;
constexpr int kAheadIdleSteps = 50;
constexpr int kAheadStepsPerSave = 25;

}   // namespace

void RoundWorker::Run(std::shared_ptr<Shared> shared, unsigned seed)
{
    // The runtime's generator may be one per thread: this thread seeds its own.
    SeedRandom(seed);
    SetRunnerCancel(&shared->cancel);
    int idleSteps = kAheadIdleSteps, steps = 0;
    for (;;) {
        RoundRequest request;
        {
            std::unique_lock<std::mutex> lock(shared->mutex);
            auto called = [&] { return shared->stopping || shared->hasRequest; };
            if (idleSteps < kAheadIdleSteps &&
                !shared->wake.wait_for(lock, std::chrono::milliseconds(kAheadStepMs), called)) {
                lock.unlock();
                idleSteps = JudgeAhead() ? 0 : idleSteps + 1;
                if (++steps % kAheadStepsPerSave == 0)
                    SaveMachineFacts();
                continue;
            }
            shared->wake.wait(lock, called);
            if (shared->stopping)
                break;
            request = std::move(shared->request);
            shared->hasRequest = false;
        }
        Round round = PrepareRound(request);
        idleSteps = round.brokenSets > 0 ? 0 : kAheadIdleSteps;
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->stopping)
                break;
            shared->round = std::move(round);
            shared->hasRound = true;
        }
        shared->notify(shared->context);
        // What this round learnt about machines goes to the cache file once
        // the round is handed over, so the writing never delays it.
        SaveMachineFacts();
    }
    SetRunnerCancel(nullptr);
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->finished = true;
    shared->ended.notify_all();
}

bool RoundWorker::Start(void (*notify)(void *), void *context, unsigned seed)
{
    if (shared_)
        return false;
    shared_ = std::make_shared<Shared>();
    shared_->notify = notify;
    shared_->context = context;
    thread_ = std::thread(Run, shared_, seed);
    return true;
}

void RoundWorker::Request(RoundRequest request)
{
    if (!shared_)
        return;
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->request = std::move(request);
    shared_->hasRequest = true;
    shared_->wake.notify_all();
}

bool RoundWorker::Take(Round *round)
{
    if (!shared_)
        return false;
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (!shared_->hasRound)
        return false;
    *round = std::move(shared_->round);
    shared_->hasRound = false;
    return true;
}

bool RoundWorker::Stop(int waitMs)
{
    if (!shared_)
        return true;
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->stopping = true;
    shared_->cancel = true;
    shared_->wake.notify_all();
    bool finished = shared_->ended.wait_for(lock, std::chrono::milliseconds(waitMs),
                                            [&] { return shared_->finished; });
    lock.unlock();
    if (finished)
        thread_.join();
    else
        thread_.detach();
    shared_.reset();
    return finished;
}

RoundWorker::~RoundWorker()
{
    Stop(1000);
}
