#include "platform/process_list.h"

#include <dirent.h>

#include <charconv>
#include <memory>
#include <set>
#include <string_view>
#include <unordered_map>

namespace zen {
namespace {

// One file reached by one path: the processes that share it are confirmed together.
struct FileAndPath {
    ExecutableId executable;
    std::string path;
};

struct FileAndPathView {
    const ExecutableId& executable;
    std::string_view path;
};

struct FileAndPathHash {
    using is_transparent = void;
    std::size_t operator()(const FileAndPathView& key) const {
        return std::hash<std::string_view>()(key.path) ^
               (key.executable.inode * 0x9E3779B97F4A7C15);
    }
    std::size_t operator()(const FileAndPath& key) const {
        return (*this)(FileAndPathView{key.executable, key.path});
    }
};

struct FileAndPathEqual {
    using is_transparent = void;
    static FileAndPathView View(const FileAndPath& key) { return {key.executable, key.path}; }
    static FileAndPathView View(const FileAndPathView& key) { return key; }
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const {
        return View(a).executable == View(b).executable && View(a).path == View(b).path;
    }
};

}  // namespace

ProcessList::ProcessList(Mode mode) : proc_(OpenProcDirectory()) {
    if (mode == Mode::FollowEvents) {
        events_ = ProcessEvents::Subscribe();
    }
    if (events_) {
        ReadWhole();
    }
}

void ProcessList::ReadWhole() {
    processes_.clear();
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir("/proc"), ::closedir);
    if (!directory) {
        return;
    }
    while (const dirent* entry = ::readdir(directory.get())) {
        const std::string_view name(entry->d_name);
        pid_t pid = 0;
        if (std::from_chars(name.data(), name.data() + name.size(), pid).ptr !=
                name.data() + name.size() ||
            pid <= 0) {
            continue;
        }
        if (auto process = ReadProcess(proc_.get(), pid)) {
            processes_.emplace(pid, std::move(*process));
        }
    }
}

void ProcessList::Reread(pid_t pid) {
    if (auto process = ReadProcess(proc_.get(), pid)) {
        processes_.insert_or_assign(pid, std::move(*process));
    } else {
        processes_.erase(pid);
    }
}

void ProcessList::ApplyEvents() {
    // A pid that ended and was given out again within one drain is read again as the new
    // process: the events come in order.
    std::set<pid_t> changed;
    const bool complete = events_->Drain([&](const ProcessEvent& event) {
        if (event.kind == ProcessEventKind::Ended) {
            processes_.erase(event.pid);
            changed.erase(event.pid);
        } else {
            changed.insert(event.pid);
        }
    });
    if (!complete) {
        ReadWhole();
        return;
    }
    for (const pid_t pid : changed) {
        Reread(pid);
    }
}

void ProcessList::Visit(const std::function<bool(uid_t)>& wanted,
                        const std::function<void(const ProcessInfo&)>& each) {
    if (!events_) {
        ReadWhole();
        for (const auto& [pid, process] : processes_) {
            if (wanted(process.realUid)) {
                each(process);
            }
        }
        return;
    }
    ApplyEvents();
    // Whether the path of each file still reads as it did; one process of the file answers.
    std::unordered_map<FileAndPath, bool, FileAndPathHash, FileAndPathEqual> confirmed;
    for (auto it = processes_.begin(); it != processes_.end();) {
        const pid_t pid = it->first;
        if (!wanted(it->second.realUid)) {
            ++it;
            continue;
        }
        auto known = confirmed.find(FileAndPathView{it->second.executable, it->second.path});
        if (known == confirmed.end()) {
            // A process that is gone answers nothing; the next one of the file is asked.
            if (const auto now = ExecutablePath(proc_.get(), pid)) {
                known = confirmed
                            .emplace(FileAndPath{it->second.executable, it->second.path},
                                     *now == it->second.path)
                            .first;
            }
        }
        if (known == confirmed.end() || !known->second) {
            // Renamed, replaced or gone: this process is read afresh.
            Reread(pid);
            it = processes_.upper_bound(pid);
            if (const auto again = processes_.find(pid);
                again != processes_.end() && wanted(again->second.realUid)) {
                each(again->second);
            }
            continue;
        }
        each(it->second);
        ++it;
    }
}

}  // namespace zen
