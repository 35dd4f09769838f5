#pragma once

#include <map>
#include <unordered_map>

#include "core/private_store.h"

namespace tollix {

// Pins and waiting texts in memory, until the program exits: the store of a program that
// keeps no history, and the working copy of the history's own.
class MemoryPrivateStore : public PinStore, public WaitingStore {
public:
    // Pins kept at most: a host that opens sessions from address after address cannot grow
    // the store without bound (beyond it, new contacts stay without a pin).
    static constexpr std::size_t kMaxPins = 20000;

    std::optional<PinnedCode> FindPin(const std::string& address) const override;
    bool SavePin(const PinnedCode& pin) override;
    std::vector<std::string> PinnedAddresses() const;

    void AddWaiting(const WaitingText& text) override;
    void RemoveWaiting(const std::string& id) override;
    std::vector<WaitingText> WaitingFor(const std::string& address) const override;
    std::size_t WaitingCount(const std::string& address) const override;
    std::size_t WaitingTotal() const override { return waitingIds_.size(); }
    std::vector<std::string> WaitingAddresses() const override;

private:
    std::unordered_map<std::string, PinnedCode> pins_;
    std::map<std::string, std::vector<WaitingText>> waiting_;  // by address, in order
    std::unordered_map<std::string, std::string> waitingIds_;  // id: its address
};

}  // namespace tollix
