#include "archive/ExtractionPool.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>

#include "archive/EntryWriter.h"
#include "archive/PathSafety.h"
#include "archive/Wildcards.h"

namespace archive {

namespace {

// Where an entry lands below the extraction folder, folded, so that every
// name of one target gives one key; empty for a name that leaves the folder.
std::wstring TargetKey(const std::wstring& name, std::vector<std::wstring>& parts) {
    if (!zip::SplitSafePath(name, parts)) return {};
    std::wstring key;
    for (const std::wstring& part : parts) key += part + L'\\';
    for (wchar_t& c : key) c = wchar_t(std::towupper(c));
    return key;
}

}  // namespace

ExtractionPool::~ExtractionPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Stop();
    }
    workReady_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void ExtractionPool::Run() {
    Select();
    Progress(0);
    if (canceled_) return;
    bool completed = selected_.size() < 2 ? RunHere() : RunPool();
    if (completed) Progress(100);
}

// The entries a mask selects, less the files the reader is to leave out.
void ExtractionPool::Select() {
    std::vector<std::wstring> parts;
    std::set<std::wstring> skipped;
    for (const std::wstring& path : reader_.SkippedFiles) skipped.insert(TargetKey(path, parts));
    skipped.erase(std::wstring());
    for (const zip::Entry& e : directory_.entries)
        if (std::any_of(reader_.FileMasks.begin(), reader_.FileMasks.end(),
                        [&](const std::wstring& m) { return zip::MatchesMask(e.name, m); }) &&
            (skipped.empty() || e.isFolder || !skipped.count(TargetKey(e.name, parts))))
            selected_.push_back(&e);
}

// One entry needs no pool: the caller inflates and the writer's own thread
// checks and writes.
bool ExtractionPool::RunHere() {
    if (selected_.empty()) return true;
    const zip::Entry& e = *selected_.front();
    EntryWriter writer(baseDir_, input_, directory_, true);
    auto progress = [&](uint64_t written) {
        Progress(double(written) / double(e.uncompressedSize) * 100.0);
    };
    for (;;) {
        Outcome extracted = writer.Extract(e, progress);
        if (extracted.Ok()) break;
        TZFProcessFileFailureAction action = Failed(e, extracted.Error());
        if (action == fxaAbort) return false;
        if (action == fxaIgnore) break;
    }
    return !canceled_;
}

bool ExtractionPool::RunPool() {
    std::vector<Job> jobs = Schedule();
    std::unique_lock<std::mutex> lock(mutex_);
    StartThreads(std::move(jobs));
    size_t next = 0;  // the first entry whose outcome the caller has not had
    uint64_t seen = 0;
    for (;;) {
        news_.wait(lock, [&] { return newsCount_ != seen; });
        seen = newsCount_;
        if (crash_) std::rethrow_exception(crash_);
        // Stopped before the lock goes, or the pool would race ahead.
        if (!HandOutFailures(lock, next)) return Stop();
        if (next == selected_.size()) return true;
        if (!ReportPoolProgress(lock)) return Stop();
    }
}

// Under mutex_.
void ExtractionPool::StartThreads(std::vector<Job> jobs) {
    size_t threads = std::clamp<size_t>(std::thread::hardware_concurrency(), 2, kMaxThreads);
    threads = std::min(threads, jobs.size());
    queue_.assign(std::make_move_iterator(jobs.begin()), std::make_move_iterator(jobs.end()));
    slots_.resize(selected_.size());
    for (size_t t = 0; t < threads; ++t) threads_.emplace_back([this] { Work(); });
}

// The outcomes of the entries done, from next on in entry order, to the
// failure handler; false when it aborted (still under the lock).
bool ExtractionPool::HandOutFailures(std::unique_lock<std::mutex>& lock, size_t& next) {
    while (next < selected_.size() && slots_[next].done) {
        if (slots_[next].outcome.Ok()) {
            ++next;
            continue;
        }
        // No entry starts while the caller decides, as when they were
        // extracted one by one; those in hand go on.
        holding_ = true;
        Outcome failure = std::move(slots_[next].outcome);
        lock.unlock();
        TZFProcessFileFailureAction action = Failed(*selected_[next], failure.Error());
        lock.lock();
        if (action == fxaAbort) return false;
        holding_ = false;
        workReady_.notify_all();
        if (action == fxaRetry) {
            slots_[next] = Slot();
            queue_.push_front({next});
            break;
        }
        ++next;
    }
    return true;
}

// The progress of the whole run to its handler; false when it cancelled
// (still under the lock).
bool ExtractionPool::ReportPoolProgress(std::unique_lock<std::mutex>& lock) {
    double percent = 0;
    for (const Slot& s : slots_) percent += s.fraction;
    percent = percent / double(selected_.size()) * 100.0;
    if (!reader_.OnOverallProgress || percent <= shown_ || percent >= 100) return true;
    // The handler may ask whether to stop: no entry starts while it runs,
    // as while a failure is decided.
    holding_ = true;
    lock.unlock();
    Progress(percent);
    lock.lock();
    if (canceled_) return false;
    holding_ = false;
    workReady_.notify_all();
    return true;
}

// Under mutex_: no entry starts any more.
bool ExtractionPool::Stop() {
    stop_ = true;
    return false;
}

// The pool's jobs: the biggest entries first, so that what is left at the
// end is small and no thread idles long waiting for another. The entries of
// one target name form one job in entry order, so that the last of them
// wins as when extracted one by one.
std::vector<ExtractionPool::Job> ExtractionPool::Schedule() const {
    std::vector<Job> jobs;
    std::vector<uint64_t> sizes;
    std::map<std::wstring, size_t> byTarget;
    std::vector<std::wstring> parts;
    for (size_t i = 0; i < selected_.size(); ++i) {
        size_t job = jobs.size();
        if (std::wstring key = TargetKey(selected_[i]->name, parts); !key.empty())
            job = byTarget.emplace(std::move(key), jobs.size()).first->second;
        if (job == jobs.size()) {
            jobs.emplace_back();
            sizes.push_back(0);
        }
        jobs[job].push_back(i);
        sizes[job] = std::max(sizes[job], selected_[i]->uncompressedSize);
    }
    std::vector<size_t> order(jobs.size());
    for (size_t j = 0; j < order.size(); ++j) order[j] = j;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return sizes[a] > sizes[b]; });
    std::vector<Job> sorted;
    for (size_t j : order) sorted.push_back(std::move(jobs[j]));
    return sorted;
}

// A thread of the pool: takes jobs until told to stop.
void ExtractionPool::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    try {
        lock.unlock();
        EntryWriter writer(baseDir_, input_, directory_, false);
        lock.lock();
        for (;;) {
            workReady_.wait(lock, [this] { return stop_ || (!holding_ && !queue_.empty()); });
            if (stop_) return;
            Job job = std::move(queue_.front());
            queue_.pop_front();
            for (size_t i : job) {
                if (stop_) return;
                const zip::Entry& e = *selected_[i];
                lock.unlock();
                Outcome extracted = writer.Extract(e, [&](uint64_t written) {
                    std::lock_guard<std::mutex> guard(mutex_);
                    slots_[i].fraction = double(written) / double(e.uncompressedSize);
                    Announce();
                });
                lock.lock();
                slots_[i] = {1.0, true, std::move(extracted)};
                Announce();
            }
        }
    } catch (...) {
        if (!lock.owns_lock()) lock.lock();
        crash_ = std::current_exception();
        Announce();
    }
}

void ExtractionPool::Announce() {
    ++newsCount_;
    news_.notify_one();
}

// A retried entry starts again from nothing; the bar stays where it was.
void ExtractionPool::Progress(double percent) {
    if (canceled_ || !reader_.OnOverallProgress || percent <= shown_) return;
    shown_ = percent;
    bool cancel = false;
    reader_.OnOverallProgress(percent, cancel);
    if (cancel) canceled_ = true;
}

TZFProcessFileFailureAction ExtractionPool::Failed(const zip::Entry& e, const std::wstring& error) {
    TZFProcessFileFailureAction action = fxaIgnore;
    if (reader_.OnProcessFileFailure) reader_.OnProcessFileFailure(e.name, error, action);
    return action;
}

}  // namespace archive
