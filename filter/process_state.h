#pragma once

#include "filter/verdict.h"

namespace zen::filter {

// The checks of one operation in this process's policy, whose library is loaded at the first
// call of a controlled account (the others always pass, whatever the library's state); a
// library that cannot be loaded refuses quietly, as unreadable rules do.
Verdict EvaluatePolicy(bool dailyLimit);

// The policy is given up and opened afresh at the next check (its files were taken away).
void ReopenPolicy();

// True in a vfork child (it shares its parent's memory, so it must not change the tables).
bool InVforkChild();

// Marks the first time the process records anything: from then on fork children are told
// apart from vfork children.
void NoteFirstRecord();

// Set while the filter does its own work on a thread; hooks entered meanwhile (the rules'
// own file and name-service calls, a signal handler) call straight through.
class FilterScope {
public:
    FilterScope();
    ~FilterScope();
    FilterScope(const FilterScope&) = delete;
    FilterScope& operator=(const FilterScope&) = delete;

    static bool Active();
    // The errno the hook leaves when the scope ends (otherwise the one it found).
    void SetErrno(int error) { savedErrno_ = error; }

private:
    int savedErrno_;
    bool wasActive_;
};

}  // namespace zen::filter
