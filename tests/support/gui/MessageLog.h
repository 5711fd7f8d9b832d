#pragma once
// The windows' prompts in a test: while a MessageLog lives, every message box the windows would
// show, and the status bar's lines, go to it (RecordingPrompts) instead; no box is shown. A log
// made while another lives takes over until it goes.

#include "RecordingPrompts.h"
#include "TestData.h"
#include "gui/common/MessageBoxes.h"

class MessageLog : public RecordingPrompts {
public:
    explicit MessageLog(bool answer = true) : RecordingPrompts(answer), previous_(InstallPrompts(this)) {}
    ~MessageLog() override { InstallPrompts(previous_); }
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

private:
    Prompts* previous_;
};
