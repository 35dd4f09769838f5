#pragma once

#include <string>

namespace tollix {

// How a text travelled. Stored with each text in the history (as these numbers).
enum class Privacy : int {
    Open = 0,        // through the open group: everyone on the network may read it
    Private = 1,     // over a private session with the contact's pinned code
    Unverified = 2,  // from the group under the address of a contact with a pinned code (who
                     // would have written privately), or over a session whose code changed
};

// Where an outgoing private text is on its way. Stored with each text in the history.
enum class Delivery : int {
    None = 0,       // incoming, or sent openly
    Sending = 1,    // sent over a session, not yet acknowledged
    Delivered = 2,  // acknowledged: the contact's program has stored and shown it
    Waiting = 3,    // kept until the contact can be reached privately
    Cancelled = 4,  // a waiting text that the user cancelled: never sent
};

// The mark of a text shown in a conversation: `id` names a private text (outgoing, or
// received over a session) so that its later marks and its acknowledgement find it.
struct TextMark {
    Privacy privacy = Privacy::Open;
    Delivery delivery = Delivery::None;
    std::string id;
};

// "open", "private", "unverified": the terminal peer's words.
inline const char* PrivacyName(Privacy privacy) {
    switch (privacy) {
        case Privacy::Private:
            return "private";
        case Privacy::Unverified:
            return "unverified";
        default:
            return "open";
    }
}

}  // namespace tollix
