#pragma once

#include "core/memory_private_store.h"

namespace tollix {

class HistoryStore;

// The pinned codes and the waiting texts in the history file (tables `pins` and `waiting`),
// so that they outlive the program: read when the history is opened, and every change
// written through the store's queue, in order with the texts. While the store is closed
// ("Keep history" off) or only reads (another program writes the file), they live in
// memory, and what changed meanwhile is written when this process writes the file again.
class HistoryPrivateStore : public MemoryPrivateStore {
public:
    explicit HistoryPrivateStore(HistoryStore& store) : store_(store) {}

    // The store was opened, closed or replaced: the first time the file can be read, its
    // pins and waiting texts are taken (what was on its way when the program ended waits
    // now); later, what is kept in memory is written into the file.
    void Sync();
    // The file's pins and waiting texts have been read.
    bool Loaded() const { return loaded_; }

    bool SavePin(const PinnedCode& pin) override;
    void AddWaiting(const WaitingText& text) override;
    void RemoveWaiting(const std::string& id) override;

private:
    bool Load();
    void Write(const PinnedCode& pin);
    void Write(const WaitingText& text);

    HistoryStore& store_;
    bool loaded_ = false;
};

}  // namespace tollix
