#include "core/contact.h"

#include "protocol/text.h"

namespace tollix {

std::string Contact::DisplayName() const {
    return std::string(Trim(firstName + " " + secondName));
}

}  // namespace tollix
