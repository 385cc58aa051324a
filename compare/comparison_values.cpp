#include "compare/comparison_values.h"

#include "clip/user_matrix.h"
#include "media/error.h"
#include "search/encoder_confirmation.h"

namespace vardelk {

Candidate LoadCandidate(const std::string& source, const CodingModel& model, const std::string& encoder) {
    const NamedMatrix matrix = LoadMatrix(source);
    CheckEncoderMatrix(matrix, model, encoder);
    if (source.find_first_of(":/.") == std::string::npos) return Candidate{source, matrix.entries};
    const std::string file = source.substr(source.find_last_of(":/") + 1);
    return Candidate{file.substr(0, file.find('.')), matrix.entries};
}

void CheckConfirmingEncoder(const std::string& encoder, const CodingModel& model) {
    const ConfirmingEncoder found = FindConfirmingEncoder(model);
    if (found.name != encoder)
        throw ValueError(
            "confirm", encoder + ": " + (found.missing.empty() ? "the model is not " + encoder + "'s" : found.missing));
}

}  // namespace vardelk
