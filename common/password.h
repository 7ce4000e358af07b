#pragma once
// The password of a protected update archive. The designer derives it from the
// archive's base name ("_0001") when it encrypts the archive, and the client
// derives it again from the name of the file it downloaded, so the password
// itself never travels. Both sides must use this one implementation.
#include <string>
#include <string_view>

namespace kl {

// The encoded password: the text upper-cased and trimmed, stretched to 64
// characters, mixed with a fixed five-character key and written as one
// hexadecimal digit per character (64 digits). An empty or blank text gives "".
std::string EncodePassword(std::string_view text);

// The text brought to exactly `length` characters: a longer text keeps its last
// `length` characters; a shorter one is repeated, reversed and forward in turn
// (reversed first), and cut. An empty text or a length below 1 gives "".
std::string StretchString(std::string_view text, int length);

} // namespace kl
