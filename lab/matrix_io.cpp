#include "lab/matrix_io.h"

#include <exception>
#include <utility>

namespace vardelk {
namespace {

const MatrixFileForm* FindForm(const std::string& name) {
    for (const MatrixFileForm& form : BuiltInMatrixFileForms()) {
        if (name == form.name) return &form;
    }
    return nullptr;
}

MatrixFileResult Failure(std::string message) {
    MatrixFileResult result;
    result.message = std::move(message);
    return result;
}

}  // namespace

size_t MatrixFormCount() { return BuiltInMatrixFileForms().size(); }

const char* MatrixFormName(size_t index) {
    const std::vector<MatrixFileForm>& forms = BuiltInMatrixFileForms();
    return index < forms.size() ? forms[index].name : nullptr;
}

MatrixFileResult ImportMatrix(const std::string& bytes, const std::string& name, const std::string& formName) {
    const MatrixFileForm* form = nullptr;
    if (!formName.empty() && (form = FindForm(formName)) == nullptr) {
        return Failure("matrix file " + name + ": no form '" + formName + "'");
    }
    if (bytes.size() > kMaxMatrixFileBytes) {
        return Failure("matrix file " + name + ": " + std::to_string(bytes.size()) + " bytes, more than any " +
                       "matrix file holds (" + std::to_string(kMaxMatrixFileBytes) + ")");
    }
    try {
        const std::vector<MatrixFileForm>& forms = BuiltInMatrixFileForms();
        const MatrixFileForm& chosen = form != nullptr ? *form : RecogniseMatrixFileForm(bytes, forms);
        MatrixFileResult result;
        result.entries = ReadMatrixBytes(bytes, name, &chosen, forms);
        result.form = chosen.name;
        result.ok = true;
        return result;
    } catch (const std::exception& error) {
        return Failure(error.what());
    }
}

MatrixFileResult ExportMatrix(const MatrixEntries& matrix, const std::string& name, const std::string& formName) {
    const MatrixFileForm* form = FindForm(formName);
    if (form == nullptr || form->write == nullptr) {
        return Failure("writing matrix file " + name + ": no written form '" + formName + "'");
    }
    try {
        MatrixFileResult result;
        result.text = form->write(matrix, "writing " + MatrixFileOrigin(*form, name));
        result.form = form->name;
        result.ok = true;
        return result;
    } catch (const std::exception& error) {
        return Failure(error.what());
    }
}

}  // namespace vardelk
