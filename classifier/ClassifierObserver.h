#pragma once

// What a classification or extraction run reports while it works. The dialog and
// "quillery classify" each implement it; calls come from the thread running the engine.

#include <cstdint>
#include <string>

class ClassifierObserver
{
public:
    virtual ~ClassifierObserver() = default;

    // A line of the message list (GBK).
    virtual void AddMessage(const std::string &gbkText) = 0;
    // The texts of the two progress lines: the file being read and its target.
    virtual void ShowSourceFile(const std::string &) { }
    virtual void ShowOutputFile(const std::string &) { }

    // Progress: whether an estimate of the files to come is wanted (it costs one
    // extra reading of the directory listings), the estimate, and each file done.
    virtual bool WantsTotal() const { return false; }
    virtual void SetTotal(std::int64_t) { }
    virtual void FileDone(std::int64_t /*filesDone*/) { }

    // Asked before each file; a true answer ends the run after the current file.
    virtual bool StopRequested() { return false; }
};
