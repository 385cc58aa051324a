#include "usage_messages.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "media/nearest_name.h"

namespace vardelk {
namespace {

// Every option name of the app as typed: "-s", "--scale", ...
std::vector<std::string> OptionNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::Option* opt : app.get_options()) {
        for (const std::string& s : opt->get_snames()) names.push_back("-" + s);
        for (const std::string& l : opt->get_lnames()) names.push_back("--" + l);
    }
    return names;
}

// "unknown option '--scael' (did you mean '--scale'?)", or with a pointer
// to `program --help` when no name is near.
std::string Unknown(const std::string& kind, const std::string& word, const std::vector<std::string>& names,
                    const std::string& program) {
    const std::string nearest = NearestName(word, names);
    return "unknown " + kind + " '" + word + "' (" +
           (nearest.empty() ? program + " --help lists the " + kind + "s" : "did you mean '" + nearest + "'?") + ")";
}

// An argument the parser did not take, as the user typed it: the first
// option-like one, else the first.
std::string FirstUnexpected(const std::vector<std::string>& extras, bool* option) {
    for (const std::string& word : extras) {
        const bool number = word.size() > 1 && (std::isdigit(static_cast<unsigned char>(word[1])) || word[1] == '.');
        if (word.size() > 1 && word[0] == '-' && !number) {
            *option = true;
            return word.substr(0, word.find('='));
        }
    }
    *option = false;
    return extras.empty() ? std::string() : extras.front();
}

// The usage line of an app: "vardelk search [OPTIONS] SET...".
std::string UsageLine(const CLI::App& app) {
    std::string line = app.get_name();
    if (!app.get_options([](const CLI::Option* o) { return o->nonpositional(); }).empty()) line += " [OPTIONS]";
    for (const CLI::Option* o : app.get_options([](const CLI::Option* opt) { return opt->get_positional(); })) {
        line += " " + Placeholder(o->get_type_name());
        if (o->get_expected_max() > 1) line += "...";
    }
    return line;
}

}  // namespace

std::string UnknownCommandMessage(const std::string& word, const std::vector<std::string>& commands,
                                  const std::string& program) {
    return Unknown("command", word, commands, program);
}

std::string ParseErrorMessage(const CLI::App& app, const CLI::ParseError& error, const std::string& program) {
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        bool option = false;
        const std::string word = FirstUnexpected(app.remaining(), &option);
        if (option) return Unknown("option", word, OptionNames(app), program);
        if (!word.empty()) return "unexpected argument '" + word + "' (usage: " + UsageLine(app) + ")";
    }
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        for (const CLI::Option* o : app.get_options()) {
            if (o->get_positional() && o->get_required() && o->count() == 0)
                return "no " + o->get_name() + " given (usage: " + UsageLine(app) + ")";
        }
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        // "--scale: 1 required CODE missing": the option given without its value.
        const std::string what = error.what();
        const size_t colon = what.find(": "), required = what.find(" required "), missing = what.rfind(" missing");
        if (colon != std::string::npos && required != std::string::npos && missing == what.size() - 8 &&
            required + 10 < missing) {
            const std::string type = what.substr(required + 10, missing - required - 10);
            return what.substr(0, colon) + " needs a value (" + Placeholder(type) + ")";
        }
    }
    return error.what();
}

std::string Placeholder(const std::string& typeName) {
    const std::string name = typeName.substr(0, typeName.find(':'));
    if (name == "INT" || name == "UINT") return "N";
    if (name == "FLOAT") return "NUMBER";
    if (name == "TEXT") return "VALUE";
    return name;
}

namespace {

class Formatter : public CLI::Formatter {
public:
    std::string make_option_opts(const CLI::Option* opt) const override {
        if (!opt->get_option_text().empty()) return " " + opt->get_option_text();
        std::ostringstream out;
        if (opt->get_type_size() != 0) {
            if (!opt->get_type_name().empty()) out << " " << Placeholder(opt->get_type_name());
            if (!opt->get_default_str().empty()) out << "=" << opt->get_default_str();
            if (opt->get_expected_max() == CLI::detail::expected_max_vector_size) out << " ...";
            if (opt->get_required()) out << " (required)";
        }
        return out.str();
    }
    std::string make_option_usage(const CLI::Option* opt) const override {
        return Placeholder(opt->get_type_name()) + (opt->get_expected_max() > 1 ? "..." : "");
    }
};

}  // namespace

std::shared_ptr<CLI::Formatter> PlaceholderFormatter() { return std::make_shared<Formatter>(); }

}  // namespace vardelk
