#include "shared_options.h"

#include <cerrno>
#include <cstdlib>

#include "cli_error.h"
#include "clip/user_matrix.h"
#include "codec/coding_model.h"
#include "parallel/parallel_for.h"

namespace vardelk {

void AddModelOptions(CLI::App& app, ModelOptions& model, const std::string& encoderHelp,
                     const std::string& intraVlcHelp, const std::string& dcPrecisionHelp) {
    app.add_option("--encoder", model.encoder, encoderHelp)->type_name("NAME");
    app.add_option("--intra-vlc", model.intraVlc, intraVlcHelp)->type_name("0|1");
    app.add_option("--dc-precision", model.dcPrecision, dcPrecisionHelp)->type_name("BITS");
}

void AddPictureSet(CLI::App& app, std::vector<std::string>& inputs) {
    // Checked by the command, whose message says what to give.
    app.add_option("inputs", inputs, "Pictures (.png, .jpg), clips (.y4m), folders of them, or list files")
        ->type_name("SET");
}

void AddThreadsOption(CLI::App& app, std::string& threadsText) {
    app.add_option("-j,--threads", threadsText, "Threads, 1..1024 (default: every core); results do not depend on it")
        ->type_name("N");
}

int64_t ParseBoundedInteger(const std::string& option, const std::string& text, int64_t lo, int64_t hi,
                            const std::string& meaning) {
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || end == text.c_str() || *end != '\0') {
        throw UsageError(option + " " + text + ": not an integer");
    }
    if (errno == ERANGE || value < lo || value > hi) {
        throw UsageError(option + " " + text + ": out of range; " + meaning + " must be " + std::to_string(lo) + ".." +
                         std::to_string(hi));
    }
    return value;
}

int32_t ParseThreads(const std::string& text) {
    return text.empty() ? HardwareThreads()
                        : int32_t(ParseBoundedInteger("--threads", text, 1, 1024, "the thread count"));
}

CodingModel ParseModelOptions(const std::string& encoder, const std::string& intraVlc, const std::string& dcPrecision) {
    EncoderPreset preset = EncoderPreset::kFilter;
    if (!ParsePreset(encoder, preset))
        throw UsageError("--encoder: unknown encoder '" + encoder + "' (" + NameList(PresetNames(), ", ", ", ") + ")");
    CodingModel model = PresetModel(preset);
    if (!intraVlc.empty())
        model.intraVlcFormat = int32_t(ParseBoundedInteger("--intra-vlc", intraVlc, kMpegVlcTable, kIntraVlcTable,
                                                           "the AC table (intra_vlc_format)"));
    if (!dcPrecision.empty())
        model.dcPrecision = int32_t(
            ParseBoundedInteger("--dc-precision", dcPrecision, kMinDcPrecision, kMaxDcPrecision, "the DC precision"));
    return model;
}

}  // namespace vardelk
