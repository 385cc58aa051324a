// The options more than one command takes, each defined once: the coding
// model (--encoder, --intra-vlc, --dc-precision) of every command that codes
// pictures, the picture set and the thread count of the matrix commands
// (search, compare), and the numbers they are given as text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "codec/types.h"

namespace vardelk {

// The coding model as written: a preset's name and the fields given on top
// of it, each empty for the preset's.
struct ModelOptions {
    std::string encoder;
    std::string intraVlc;
    std::string dcPrecision;
};

// --encoder, --intra-vlc and --dc-precision, each command saying in its help
// what the model is for; the matrix commands share the words for the two
// fields.
void AddModelOptions(
    CLI::App& app, ModelOptions& model, const std::string& encoderHelp,
    const std::string& intraVlcHelp = "AC table of the model: 0 or 1 (default: the encoder's)",
    const std::string& dcPrecisionHelp = "DC precision of the model in bits, 8..11 (default: the encoder's)");

// The pictures a matrix command works on: "SET..." in its usage.
void AddPictureSet(CLI::App& app, std::vector<std::string>& inputs);

// -j/--threads of a matrix command, as written (ParseThreads reads it).
void AddThreadsOption(CLI::App& app, std::string& threadsText);

// Parses a whole decimal integer given for `option`, in lo..hi; throws
// UsageError naming the option, the value and what it means.
int64_t ParseBoundedInteger(const std::string& option, const std::string& text, int64_t lo, int64_t hi,
                            const std::string& meaning);

// The thread count of -j/--threads as written, every core when empty;
// throws UsageError outside 1..1024.
int32_t ParseThreads(const std::string& text);

// The coding model of --encoder, --intra-vlc and --dc-precision; throws
// UsageError naming the option and the value.
CodingModel ParseModelOptions(const std::string& encoder, const std::string& intraVlc, const std::string& dcPrecision);
inline CodingModel ParseModelOptions(const ModelOptions& model) {
    return ParseModelOptions(model.encoder, model.intraVlc, model.dcPrecision);
}

}  // namespace vardelk
