// An in-memory settings store for tests: named, typed byte strings, with
// switches to make the key or a given value fail.
#pragma once
#include <map>
#include <string>

#include "config/settings.h"

struct StoredValue {
    unsigned long type;
    std::string bytes;
};

struct MemoryStore {
    bool keyExists = true;
    bool failOpenForWriting = false;
    int failOpenAfter = -1;            // open number (0-based) that fails
    std::string failSetOf;             // name of a value whose write fails
    std::map<std::string, StoredValue> values;
    int opens = 0;
    int openKeys = 0;                  // opened and not yet closed

    void SetText(const std::string &name, const std::string &text);
    void SetRaw(const std::string &name, unsigned long type, const std::string &bytes);
    void SetNumber(const std::string &name, int32_t value);
    bool Has(const std::string &name) const { return values.count(name) != 0; }
    std::string Text(const std::string &name) const;   // without the NUL
    int32_t Number(const std::string &name) const;
};

// Installs store as the settings store (and resets the settings); the
// destructor restores the platform store.
class UseMemoryStore {
public:
    explicit UseMemoryStore(MemoryStore &store);
    ~UseMemoryStore();
};
