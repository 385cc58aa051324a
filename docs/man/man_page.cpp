// Writes the manual page vardelk(1) from the command line's own definitions:
// the options, their value names and descriptions, the description and the
// footer are read from the same CLI::App the program builds, so the page and
// --help cannot say different things. Footer lines "Exit status: ..." and
// "Example: ..." become sections of their own; any other footer line goes to
// NOTES. The examples below are parsed and checked like a real command line
// when the page is made, so a renamed option fails the build.
//
// Usage: vardelk_man_page OUTPUT DOCDIR
#include <cctype>
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "docs/man/roff_text.h"
#include "matrices_command.h"
#include "measure_command.h"
#include "options.h"
#include "search_command.h"
#include "vardelk/version.h"

namespace vardelk {
namespace {

struct Example {
    std::string caption;  // may be empty
    std::string command;
};

const Example kExamples[] = {
    {"The built-in test scene at scale code 8: the reconstruction, a picture comparing it with the input, and "
     "the figures as JSON:",
     "vardelk -i builtin:demo -s 8 -o recon.y4m --picture comparison.png --stats stats.json"},
    {"Two matrices over every scale code, with the rate-distortion plot:",
     "vardelk -i clip.y4m --sweep -m default -m mine.txt --plot rd.svg --stats sweep.csv"},
    {"The same sweep predicted with ffmpeg's coding model, each point also coded by ffmpeg itself and measured; the "
     "plot draws the measured curves dashed:",
     "vardelk -i clip.y4m --sweep -m default -m mine.txt --encoder ffmpeg --confirm ffmpeg --plot rd.svg"},
    {"A picture coded the way mpeg2enc would with a 10-bit DC, written as an MPEG-2 stream:",
     "vardelk -i still.png -s 6 --encoder mpeg2enc --dc-precision 10 -o still.m2v"},
};

// Checks that every "vardelk ..." stage of an example pipeline is a valid
// command line; throws naming the example otherwise.
void CheckExample(const std::string& command) {
    std::istringstream stages(command);
    std::string stage;
    while (std::getline(stages, stage, '|')) {
        const size_t start = stage.find_first_not_of(' ');
        if (start == std::string::npos || stage.compare(start, 8, "vardelk ") != 0) continue;
        CLI::App app;
        CliOptions options;
        DefineOptions(app, options);
        try {
            app.parse(stage.substr(start), true);
            CheckOptions(app, options);
        } catch (const std::exception& e) {
            throw std::runtime_error("the manual's example \"" + command + "\" is no longer valid: " + e.what());
        }
    }
}

std::string Bold(const std::string& s) { return "\\fB" + RoffText(s) + "\\fR"; }
std::string Italic(const std::string& s) { return "\\fI" + RoffText(s) + "\\fR"; }

// "-s, --scale CODE" in the page's fonts, as --help shows it.
std::string OptionHead(const CLI::Option& option) {
    std::string head;
    for (const std::string& name : option.get_snames()) head += (head.empty() ? "" : ", ") + Bold("-" + name);
    for (const std::string& name : option.get_lnames()) head += (head.empty() ? "" : ", ") + Bold("--" + name);
    if (option.get_type_size() != 0 && !option.get_type_name().empty()) head += " " + Italic(option.get_type_name());
    if (option.get_type_size() != 0 && option.get_expected_max() == CLI::detail::expected_max_vector_size)
        head += " ...";
    return head;
}

// "-i SOURCE": the shortest name, for the synopsis.
std::string SynopsisItem(const CLI::Option& option) {
    std::string item = option.get_snames().empty() ? Bold("--" + option.get_lnames().front())
                                                   : Bold("-" + option.get_snames().front());
    if (option.get_type_size() != 0 && !option.get_type_name().empty()) item += " " + Italic(option.get_type_name());
    return item;
}

std::string OptionText(const CLI::Option& option) {
    std::string text = option.get_description();
    if (option.get_required()) text += " (required)";
    return RoffText(text);
}

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A command (search, measure): its synopsis, description and options,
// under a section of its own.
void WriteCommandSection(std::ostream& out, const CLI::App& app, const std::string& heading) {
    out << ".SH " << heading << "\n"
        << ".B " << app.get_name() << "\n";
    for (const CLI::Option* option : app.get_options())
        if (option->get_required())
            out << Italic(option->get_type_name()) << (option->get_items_expected_max() > 1 ? "..." : "") << "\n";
    out << "[\\fIOPTION\\fR]...\n"
        << ".PP\n"
        << RoffText(app.get_description()) << "\n";
    for (const CLI::Option* option : app.get_options()) {
        if (option->get_required()) continue;
        out << ".TP\n" << OptionHead(*option) << "\n" << OptionText(*option) << "\n";
    }
    std::istringstream footer(app.get_footer());
    for (std::string line; std::getline(footer, line);)
        if (!line.empty()) out << ".PP\n" << RoffText(line) << "\n";
}

void WriteSearchSection(std::ostream& out) {
    CLI::App app{"vardelk search"};
    app.name("vardelk search");
    SearchOptions options;
    std::string threads;
    DefineSearchOptions(app, options, threads);
    WriteCommandSection(out, app, "SEARCH COMMAND");
}

void WriteMeasureSection(std::ostream& out) {
    CLI::App app{"vardelk measure"};
    app.name("vardelk measure");
    MeasureOptions options;
    DefineMeasureOptions(app, options);
    WriteCommandSection(out, app, "MEASURE COMMAND");
}

void WriteMatricesSection(std::ostream& out) {
    CLI::App app{"vardelk matrices"};
    app.name("vardelk matrices");
    MatricesOptions options;
    DefineMatricesOptions(app, options);
    WriteCommandSection(out, app, "MATRICES COMMAND");
}

void WritePage(std::ostream& out, const std::string& docDir) {
    CLI::App app{"vardelk"};
    app.name("vardelk");
    CliOptions options;
    DefineOptions(app, options);

    // The footer's lines, sorted by their label.
    std::vector<std::string> exitStatus;
    std::vector<Example> examples;
    std::vector<std::string> notes;
    std::istringstream footer(app.get_footer());
    for (std::string line; std::getline(footer, line);) {
        if (line.empty()) continue;
        const size_t colon = line.find(": ");
        const std::string label = colon == std::string::npos ? "" : Lower(line.substr(0, colon));
        const std::string rest = colon == std::string::npos ? line : line.substr(colon + 2);
        if (label == "exit status")
            exitStatus.push_back(rest);
        else if (label == "commands")
            continue;  // the search command has a section of its own
        else if (label == "example" || label == "examples")
            examples.push_back({"", rest});
        else
            notes.push_back(line);
    }
    for (const Example& example : kExamples) examples.push_back(example);
    for (const Example& example : examples) CheckExample(example.command);

    out << ".TH VARDELK 1 \"\" \"vardelk " VARDELK_VERSION "\" \"User Commands\"\n"
        << ".SH NAME\n"
        << "vardelk \\- run pictures and video through a simulated MPEG\\-2 intra codec\n"
        << ".SH SYNOPSIS\n"
        << ".B vardelk\n";
    for (const CLI::Option* option : app.get_options()) {
        if (option->get_required()) out << SynopsisItem(*option) << "\n";
    }
    out << "[\\fIOPTION\\fR]...\n"
        << ".br\n"
        << ".B vardelk search\n"
        << Italic("SET") << "... [\\fIOPTION\\fR]...\n"
        << ".br\n"
        << ".B vardelk measure\n"
        << Italic("REFERENCE") << " " << Italic("DISTORTED") << " [\\fIOPTION\\fR]...\n"
        << ".br\n"
        << ".B vardelk matrices\n"
        << "[" << Italic("NAME") << "]\n"
        << ".SH DESCRIPTION\n"
        << RoffText(app.get_description()) << "\n"
        << ".SH OPTIONS\n";
    for (const CLI::Option* option : app.get_options()) {
        out << ".TP\n" << OptionHead(*option) << "\n" << OptionText(*option) << "\n";
    }
    WriteSearchSection(out);
    WriteMeasureSection(out);
    WriteMatricesSection(out);
    if (!exitStatus.empty()) {
        out << ".SH EXIT STATUS\n";
        for (const std::string& line : exitStatus) out << ".PP\n" << RoffText(line) << "\n";
    }
    out << ".SH EXAMPLES\n";
    for (const Example& example : examples) {
        out << ".PP\n";
        if (!example.caption.empty()) out << RoffText(example.caption) << "\n";
        out << ".RS 4\n.nf\n" << RoffText(example.command) << "\n.fi\n.RE\n";
    }
    if (!notes.empty()) {
        out << ".SH NOTES\n";
        for (const std::string& line : notes) out << ".PP\n" << RoffText(line) << "\n";
    }
    out << ".SH SEE ALSO\n"
        << ".BR ffmpeg (1)\n"
        << ".PP\n"
        << "The guide, with the formats, the conversions and the figures in detail: " << Italic("README.md") << ", "
        << Italic("cli.md") << ", " << Italic("streams.md") << " and " << Italic("search.md")
        << " in the documentation folder, " << Italic("/usr/" + docDir) << " for the Debian package, " << Italic(docDir)
        << " under the installation prefix otherwise.\n";
}

}  // namespace
}  // namespace vardelk

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vardelk_man_page OUTPUT DOCDIR\n");
        return 2;
    }
    const std::string path = argv[1];
    const std::string partial = path + ".part";
    try {
        {
            std::ofstream out(partial, std::ios::binary | std::ios::trunc);
            if (!out) throw std::runtime_error("cannot write " + partial);
            vardelk::WritePage(out, argv[2]);
            out.flush();
            if (!out) throw std::runtime_error("writing " + partial + " failed");
        }
        if (std::rename(partial.c_str(), path.c_str()) != 0)
            throw std::runtime_error("cannot rename " + partial + " to " + path);
    } catch (const std::exception& e) {
        std::remove(partial.c_str());
        std::fprintf(stderr, "vardelk_man_page: %s\n", e.what());
        return 1;
    }
    return 0;
}
