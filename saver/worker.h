// Prepares rounds on a thread of its own, so that the window thread never
// waits on an emulator query, a folder listing or a picture's decoding.
#pragma once
#include <memory>
#include <thread>

#include "saver/round.h"

class RoundWorker {
public:
    RoundWorker() = default;
    RoundWorker(const RoundWorker &) = delete;
    RoundWorker &operator=(const RoundWorker &) = delete;
    ~RoundWorker();

    // Starts the thread; its random draws are seeded with seed. notify is
    // called on the worker's thread each time a round is ready to be taken,
    // so it must only pass the news on (post a message, write to a pipe).
    bool Start(void (*notify)(void *context), void *context, unsigned seed);

    // Asks for one round; returns at once. A request made while another is
    // still being prepared is served after it.
    void Request(RoundRequest request);

    // Moves the ready round into *round; false when there is none.
    bool Take(Round *round);

    // Cancels the round under way (a query's child is ended at once) and
    // stops the thread. True when it ended within waitMs; otherwise it is
    // left to end with the process (it can be stuck only in a slow disk).
    bool Stop(int waitMs);

private:
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared, unsigned seed);
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};
