#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tollix {

// What private conversations must keep beyond the run of the program, reached through two
// small interfaces: the history store implements them on its file; without one, the
// in-memory store keeps them until the program exits.

// A contact's security code as first seen over a session (trust on first use), with the
// names it gave then and whether the user has compared the codes.
struct PinnedCode {
    std::string address{};
    std::string code{};
    std::string firstName{};
    std::string lastName{};
    std::string groupName{};
    bool verified = false;
    std::int64_t pinnedAtMs = 0;  // since the epoch

    bool operator==(const PinnedCode&) const = default;
};

class PinStore {
public:
    virtual ~PinStore() = default;
    virtual std::optional<PinnedCode> FindPin(const std::string& address) const = 0;
    // Records or replaces the pin of its address; false when no more pins can be kept.
    virtual bool SavePin(const PinnedCode& pin) = 0;
};

// A text to a contact with a pinned code that has not been acknowledged yet: on its way
// over a session, or waiting until the contact can be reached privately.
struct WaitingText {
    std::string id{};  // the private text's ID, kept for every try
    std::string address{};
    std::string text{};
    std::int64_t timeMs = 0;  // when the user wrote it

    bool operator==(const WaitingText&) const = default;
};

class WaitingStore {
public:
    virtual ~WaitingStore() = default;
    virtual void AddWaiting(const WaitingText& text) = 0;
    virtual void RemoveWaiting(const std::string& id) = 0;
    // The contact's texts in the order they were added.
    virtual std::vector<WaitingText> WaitingFor(const std::string& address) const = 0;
    virtual std::size_t WaitingCount(const std::string& address) const = 0;
    virtual std::size_t WaitingTotal() const = 0;
    // The addresses that have texts waiting.
    virtual std::vector<std::string> WaitingAddresses() const = 0;
};

}  // namespace tollix
