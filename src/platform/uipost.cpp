#include "platform/uipost.h"

#include <deque>
#include <mutex>

namespace plat {
namespace {
std::mutex g_mutex;
UiPoster g_poster;
std::deque<UiTask> g_queue;
} // namespace

void PostToUi(UiTask task) {
    UiPoster poster;
    {
        std::lock_guard lock(g_mutex);
        if (!g_poster) {
            g_queue.push_back(std::move(task));
            return;
        }
        poster = g_poster;
    }
    poster(std::move(task));
}

UiPoster SetUiPoster(UiPoster poster) {
    std::lock_guard lock(g_mutex);
    std::swap(poster, g_poster);
    return poster;
}

int RunPostedTasks() {
    int n = 0;
    for (;;) {
        UiTask task;
        {
            std::lock_guard lock(g_mutex);
            if (g_queue.empty()) return n;
            task = std::move(g_queue.front());
            g_queue.pop_front();
        }
        task();
        ++n;
    }
}

} // namespace plat
