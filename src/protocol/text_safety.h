#pragma once

#include <string>
#include <string_view>

namespace tollix {

// Replaces the body separator and the envelope markers so that a value can never split a
// body field or end an envelope early: "|" becomes "_", "<<<" becomes "<_<" and ">>>"
// becomes ">_>". Nothing is trimmed.
std::string ReplaceEnvelopeDelimiters(std::string_view text);

// A typed text made safe for a text message: white space removed at both ends, then the
// delimiters replaced. An empty result means there is nothing to send; line breaks inside
// the text stay.
std::string MakeTextSafe(std::string_view text);

}  // namespace tollix
