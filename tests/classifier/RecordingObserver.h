#pragma once

#include "classifier/ClassifierObserver.h"

#include <string>
#include <vector>

// Keeps what a run reports; can ask the run to stop after a number of files.
class RecordingObserver : public ClassifierObserver
{
public:
    void AddMessage(const std::string &gbkText) override { messages.push_back(gbkText); }
    void ShowSourceFile(const std::string &path) override { sources.push_back(path); }
    void ShowOutputFile(const std::string &path) override { outputs.push_back(path); }
    void FileDone(std::int64_t done) override { filesDone = done; }
    bool StopRequested() override { return stopAfter >= 0 && filesDone >= stopAfter; }

    std::vector<std::string> messages;
    std::vector<std::string> sources;
    std::vector<std::string> outputs;
    std::int64_t filesDone = 0;
    std::int64_t stopAfter = -1;
};
