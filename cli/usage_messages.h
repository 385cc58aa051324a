// The command line's own words for a wrong command line: an unknown option
// or command with the nearest known name, a missing argument with the usage
// line, and help whose placeholders say what a value is.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace vardelk {

// "unknown command 'serach' (did you mean 'search'?)", or with a pointer
// to `program --help` when no name is near.
std::string UnknownCommandMessage(const std::string& word, const std::vector<std::string>& commands,
                                  const std::string& program);

// The message for a parse error other than a request for help or the
// version, without the program's name in front.
std::string ParseErrorMessage(const CLI::App& app, const CLI::ParseError& error, const std::string& program);

// Help whose placeholders are the options' own names for their values:
// a validator's range or list is left to the description, and the library's
// generic names become N, NUMBER or VALUE.
std::shared_ptr<CLI::Formatter> PlaceholderFormatter();

// The placeholder the help shows for an option's value ("N" for "INT:INT in
// [1 - 1000]", "FORMAT" for "FORMAT:{csv,json}").
std::string Placeholder(const std::string& typeName);

}  // namespace vardelk
