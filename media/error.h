// The one kind of error the tools report to a person: a file that cannot be
// read or written, input that is not of its form, a value out of range, an
// option that makes no sense. what() is the whole message; it names the
// file, the entry or row (counted from 1) and the value, so a caller passes
// it on as it is.
//
// The rule, layer by layer:
// - codec/ throws no errors of its own.
// - Each library reports what it cannot accept with its own kind of Error
//   (MediaError, StreamError, MatrixFileError), so that a caller can tell
//   whose input failed.
// - A face lets those reach its main, which prints what() and exits; it
//   catches one only to add what the library could not know (which output
//   file, which step) and then throws its own error with the message after
//   that context.
// - Libraries never name a face's options. A value the user gave that a
//   library refuses as such (a name of an unknown kind, a malformed name
//   pattern, a program not installed) is a ValueError whose message starts
//   with the value, and which names the field of the job (or the argument)
//   it came in; the face, which alone knows the option behind that field,
//   puts the option's name in front.
// - A call that breaks a function's contract (planes of different sizes, a
//   level missing from a frame) is a mistake in the calling code, not
//   input: it throws std::logic_error or one of its kind.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace vardelk {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

class ValueError : public Error {
public:
    ValueError(std::string field, const std::string& message) : Error(message), field_(std::move(field)) {}
    // "input", "plot", "confirm", ...; "" where the caller passed the value
    // in a call of its own and knows where it came from.
    const std::string& Field() const { return field_; }

private:
    std::string field_;
};

}  // namespace vardelk
