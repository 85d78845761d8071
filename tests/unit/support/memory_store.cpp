#include "support/memory_store.h"

#include <cstring>

static MemoryStore *current = nullptr;

void MemoryStore::SetText(const std::string &name, const std::string &text)
{
    values[name] = {kRegSz, text + '\0'};
}

void MemoryStore::SetRaw(const std::string &name, unsigned long type, const std::string &bytes)
{
    values[name] = {type, bytes};
}

void MemoryStore::SetNumber(const std::string &name, int32_t value)
{
    std::string bytes(4, '\0');
    memcpy(&bytes[0], &value, 4);
    values[name] = {kRegDword, bytes};
}

std::string MemoryStore::Text(const std::string &name) const
{
    auto found = values.find(name);
    if (found == values.end())
        return "<missing>";
    std::string bytes = found->second.bytes;
    if (!bytes.empty() && bytes.back() == '\0')
        bytes.pop_back();
    return bytes;
}

int32_t MemoryStore::Number(const std::string &name) const
{
    auto found = values.find(name);
    if (found == values.end() || found->second.bytes.size() != 4)
        return -999999;
    int32_t value;
    memcpy(&value, found->second.bytes.data(), 4);
    return value;
}

static long Open(bool forWriting, void **key)
{
    MemoryStore &store = *current;
    int number = store.opens++;
    if (number == store.failOpenAfter)
        return 5;
    if (forWriting) {
        if (store.failOpenForWriting)
            return 5;
        store.keyExists = true;
    } else if (!store.keyExists) {
        return 2;
    }
    ++store.openKeys;
    *key = &store;
    return 0;
}

static long Query(void *key, const char *name, void *data, unsigned long *size)
{
    MemoryStore &store = *static_cast<MemoryStore *>(key);
    auto found = store.values.find(name);
    if (found == store.values.end())
        return 2;
    const std::string &bytes = found->second.bytes;
    if (bytes.size() > *size) {
        *size = static_cast<unsigned long>(bytes.size());
        return 234;   // ERROR_MORE_DATA
    }
    memcpy(data, bytes.data(), bytes.size());
    *size = static_cast<unsigned long>(bytes.size());
    return 0;
}

static long Set(void *key, const char *name, unsigned long type, const void *data,
                unsigned long size)
{
    MemoryStore &store = *static_cast<MemoryStore *>(key);
    if (store.failSetOf == name)
        return 5;
    store.values[name] = {type, std::string(static_cast<const char *>(data), size)};
    return 0;
}

static void Close(void *key)
{
    --static_cast<MemoryStore *>(key)->openKeys;
}

static const SettingsStore memoryStore = {Open, Query, Set, Close};

UseMemoryStore::UseMemoryStore(MemoryStore &store)
{
    current = &store;
    ResetSettings();
    SetSettingsStore(&memoryStore);
}

UseMemoryStore::~UseMemoryStore()
{
    SetSettingsStore(nullptr);
    ResetSettings();
    current = nullptr;
}
