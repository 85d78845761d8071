// A substitute set of dialog controls for tests: texts, check boxes and one
// sorted list, plus a record of the message boxes shown and how the dialog
// ended.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "config/controls.h"

struct ShownMessage {
    std::string text;
    std::string title;
};

struct FakeDialog {
    std::map<int, std::string> texts;
    std::map<int, int> checks;
    std::vector<std::string> list;     // kept sorted, letter case ignored
    int selection = kListError;
    std::vector<ShownMessage> messages;
    int endedWith = -1;                // -1: still open

    const DialogControls *Controls() const;
    void *Handle() { return this; }
};
