#pragma once

#include "RecordingObserver.h"
#include "TestSupport.h"

#include "classifier/CClassifier.h"
#include "common/FileSystem.h"

#include <memory>

// A temporary program folder with in/ and out/, and settings pointing at them.
struct ClassifierFixture
{
    ClassifierFixture()
        : settings(DefaultClassifierSettings())
    {
        settings.inputDirectory = dir.path() + "/in/";
        settings.outputDirectory = dir.path() + "/out/";
    }

    // A post file with the default tags around its room name and room id.
    void post(const std::string &relative, const std::string &roomName,
              const std::string &roomId = "1")
    {
        dir.write("in/" + relative,
                  "<html><RoomName>" + roomName + "</RoomName><RoomId>" + roomId
                          + "</RoomId></html>");
    }
    bool exists(const std::string &relative) const
    {
        return FileSystem::exists(dir.file(relative));
    }
    void classify() { classifier.StartClassification(settings, observer); }
    std::string summary() const
    {
        return observer.messages.empty() ? std::string() : observer.messages.back();
    }

    TempAppDir dir;
    ClassifierSettings settings;
    CClassifier classifier;
    RecordingObserver observer;
};
