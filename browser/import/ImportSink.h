#pragma once

// Where an import run reports. The sheet posts every call to its user-interface thread;
// `quillery import` prints. All calls of one run come from the thread that called
// RunImport, in the order the run produced them, so lines keep the run's order.
//
// The run never waits for its sink: an implementation must return promptly (post,
// queue or print) and must not call back into the run except AbortImport.

#include <string>

class ImportSink
{
public:
    virtual ~ImportSink() = default;

    // The status line ("处理:"): the full path of the file about to be read. Called for
    // every file, so a window should coalesce (the last text always shows).
    virtual void ImportStatus(const std::string &gbkText) = 0;

    // One line of the message list, at most 4095 bytes (cut between characters). A
    // line is sent only once every row it reports about, and every row counted before
    // it, is committed.
    virtual void ImportMessage(const std::string &gbkLine) = 0;

    // A message box with an error icon: the connection or the table cannot be opened,
    // FindNextTopicid failed, or a placeholder is not recognised (once per placeholder
    // per run). gbkDetails: the database's own report behind it, or empty. Connection
    // strings in either show "***" for the password.
    virtual void ImportMessageBox(const std::string &gbkText, const std::string &gbkDetails) = 0;
};
