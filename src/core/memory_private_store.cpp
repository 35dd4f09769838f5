#include "core/memory_private_store.h"

namespace tollix {

std::optional<PinnedCode> MemoryPrivateStore::FindPin(const std::string& address) const {
    const auto found = pins_.find(address);
    return found == pins_.end() ? std::nullopt : std::optional(found->second);
}

bool MemoryPrivateStore::SavePin(const PinnedCode& pin) {
    if (pins_.size() >= kMaxPins && !pins_.contains(pin.address)) {
        return false;
    }
    pins_[pin.address] = pin;
    return true;
}

std::vector<std::string> MemoryPrivateStore::PinnedAddresses() const {
    std::vector<std::string> addresses;
    for (const auto& [address, pin] : pins_) {
        addresses.push_back(address);
    }
    return addresses;
}

void MemoryPrivateStore::AddWaiting(const WaitingText& text) {
    if (waitingIds_.emplace(text.id, text.address).second) {
        waiting_[text.address].push_back(text);
    }
}

void MemoryPrivateStore::RemoveWaiting(const std::string& id) {
    const auto found = waitingIds_.find(id);
    if (found == waitingIds_.end()) {
        return;
    }
    const auto texts = waiting_.find(found->second);
    std::erase_if(texts->second, [&id](const WaitingText& text) { return text.id == id; });
    if (texts->second.empty()) {
        waiting_.erase(texts);
    }
    waitingIds_.erase(found);
}

std::vector<WaitingText> MemoryPrivateStore::WaitingFor(const std::string& address) const {
    const auto texts = waiting_.find(address);
    return texts == waiting_.end() ? std::vector<WaitingText>{} : texts->second;
}

std::size_t MemoryPrivateStore::WaitingCount(const std::string& address) const {
    const auto texts = waiting_.find(address);
    return texts == waiting_.end() ? 0 : texts->second.size();
}

std::vector<std::string> MemoryPrivateStore::WaitingAddresses() const {
    std::vector<std::string> addresses;
    for (const auto& [address, texts] : waiting_) {
        addresses.push_back(address);
    }
    return addresses;
}

}  // namespace tollix
