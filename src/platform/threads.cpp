#include "platform/threads.h"

#include <atomic>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace plat {
namespace {

struct Worker {
    std::string name;
    std::thread thread;
    std::atomic<bool> done{false};
};

struct Pool {
    std::mutex mutex;
    std::condition_variable finished;
    // Shared with the worker's own thread, which may outlive the list after a
    // detach and still marks itself done.
    std::list<std::shared_ptr<Worker>> workers;
};
Pool& pool() {
    static Pool* p = new Pool;  // never destroyed: threads may still report in at exit
    return *p;
}

void reapLocked(Pool& p) {
    for (auto it = p.workers.begin(); it != p.workers.end();) {
        if ((*it)->done.load()) {
            if ((*it)->thread.joinable()) (*it)->thread.join();
            it = p.workers.erase(it);
        } else {
            ++it;
        }
    }
}

std::atomic<std::thread::id> g_uiThread{};

} // namespace

void StartWorker(std::string name, std::function<void()> body) {
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    reapLocked(p);
    auto w = std::make_shared<Worker>();
    w->name = std::move(name);
    w->thread = std::thread([self = w, body = std::move(body)] {
        body();
        Pool& pl = pool();
        std::lock_guard l(pl.mutex);
        self->done.store(true);
        pl.finished.notify_all();
    });
    p.workers.push_back(std::move(w));
}

int RunningWorkers() {
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    int n = 0;
    for (auto& w : p.workers) n += w->done.load() ? 0 : 1;
    return n;
}

bool JoinAllWorkers(std::chrono::milliseconds limit) {
    Pool& p = pool();
    std::unique_lock lock(p.mutex);
    const bool all = p.finished.wait_for(lock, limit, [&] {
        for (auto& w : p.workers)
            if (!w->done.load()) return false;
        return true;
    });
    reapLocked(p);
    if (!all) {
        // A worker that ignores every cancel must not take the process down with it.
        for (auto& w : p.workers) w->thread.detach();
        p.workers.clear();
    }
    return all;
}

void MarkUiThread() { g_uiThread.store(std::this_thread::get_id()); }
bool IsUiThread() { return g_uiThread.load() == std::this_thread::get_id(); }

} // namespace plat
