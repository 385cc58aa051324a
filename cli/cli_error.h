// What the command reports to the user before exiting with a failure code.
//
// The command's own failures and those of the libraries it uses are all the
// tools' one kind of error (media/error.h): a library's error reaches main as
// it is, its message already naming the file, the entry and the value. The
// command catches one only to add what the library could not know (which
// output file, which step) and then throws CliError with that context in
// front of the message. main prints what() after "vardelk: ".
#pragma once

#include "media/error.h"

namespace vardelk {

// The command line's own kind: a library's error is not one.
class CliError : public Error {
public:
    using Error::Error;
};

// A wrong command line (as opposed to bad input data): exit code 2.
class UsageError : public CliError {
public:
    using CliError::CliError;
};

}  // namespace vardelk
