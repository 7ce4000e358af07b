#pragma once
// Between a worker thread and the UI thread. Notifications become queued
// calls, run in order on the UI thread. Questions become futures that the
// worker waits on until the UI answers them or the clean-up releases them:
// a UI thread that is joining the worker never has to answer, so the two
// cannot deadlock (which a blocking queued call would).
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QObject;

namespace plat::ui {

// Queues `fn` to run on the UI thread; dropped when `context` is destroyed
// first. Safe from any thread.
void Post(QObject* context, std::function<void()> fn);

// One question put by a worker: answered once, by the UI or by a release.
template <class T> class Question {
  public:
    // True when this call gave the answer (the first one wins).
    bool answer(T value) {
        std::lock_guard lock(m_mutex);
        if (m_answer) return false;
        m_answer = std::move(value);
        m_cv.notify_all();
        return true;
    }
    bool answered() const {
        std::lock_guard lock(m_mutex);
        return m_answer.has_value();
    }
    T wait() {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [&] { return m_answer.has_value(); });
        return *m_answer;
    }

  private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::optional<T> m_answer;
};

// The questions of one worker. The clean-up releases them all with their
// "stopped" answers; after that every new question gets its stopped answer
// at once.
class QuestionGate {
  public:
    // On the worker: asks `on_ui` on the UI thread (through `context`) and
    // waits for its answer, or for the release, which answers `stopped`.
    template <class T> T ask(QObject* context, std::function<T()> on_ui, T stopped) {
        auto q = std::make_shared<Question<T>>();
        {
            std::lock_guard lock(m_mutex);
            if (m_released) return stopped;
            m_open.push_back([q, stopped] { q->answer(stopped); });
        }
        Post(context, [q, on_ui = std::move(on_ui)] {
            if (q->answered()) return; // released while queued: nobody waits
            q->answer(on_ui());
        });
        T result = q->wait();
        return result;
    }
    // On the UI thread: answers every open question with its stopped answer
    // and refuses later ones until reopen().
    void release() {
        std::vector<std::function<void()>> open;
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
            open.swap(m_open);
        }
        for (auto& r : open)
            r();
    }
    void reopen() {
        std::lock_guard lock(m_mutex);
        m_released = false;
        m_open.clear();
    }
    bool released() const {
        std::lock_guard lock(m_mutex);
        return m_released;
    }

  private:
    mutable std::mutex m_mutex;
    bool m_released{false};
    std::vector<std::function<void()>> m_open;
};

} // namespace plat::ui
