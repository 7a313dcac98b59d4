#include "OutputNames.h"

#include "CommandLine.h"
#include "FileIdentity.h"
#include "OutputTarget.h"
#include "data/AtomicFile.h"
#include "data/PathText.h"

#include <fmt/format.h>
#include <system_error>

namespace {

// Outputs that do not exist yet have no identity: their names are compared as written out in full.
bool NameTheSameFile(const std::string& a, const std::string& b)
{
    if (IsSameFile(a, b))
        return true;
    std::error_code errorA, errorB;
    const auto fullA = std::filesystem::weakly_canonical(PathFromUtf8(a), errorA);
    const auto fullB = std::filesystem::weakly_canonical(PathFromUtf8(b), errorB);
    return !errorA && !errorB && fullA == fullB;
}

// The file an output is written as until it is complete ("NAME.partial"); empty when it is
// written in place.
std::string TemporaryFileOf(const std::string& output)
{
    OutputTarget target;
    std::string reason;
    if (!FindOutputTarget(output, target, reason) || target.way != OutputWay::Replace)
        return "";
    return PathToUtf8(AtomicFile::TemporaryPath(target.path));
}

} // namespace

void RefuseOverlappingFiles(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs)
{
    for (size_t i = 0; i < outputs.size(); ++i) {
        const NamedFile& output = outputs[i];
        if (output.path.empty() || output.path == "-")
            continue;
        const std::string temporary = TemporaryFileOf(output.path);
        for (const NamedFile& input : inputs) {
            if (IsSameFile(output.path, input.path))
                throw UsageError(fmt::format("{} \"{}\" is {} \"{}\" (the same file): writing it would destroy what "
                                             "is read; give the output another name",
                                             output.role, output.path, input.role, input.path));
            if (!temporary.empty() && IsSameFile(temporary, input.path))
                throw UsageError(fmt::format("{} \"{}\" is written first as \"{}\", which is {} \"{}\": give the "
                                             "output another name",
                                             output.role, output.path, temporary, input.role, input.path));
        }
        for (size_t j = 0; j < i; ++j)
            if (NameTheSameFile(output.path, outputs[j].path))
                throw UsageError(fmt::format("{} \"{}\" and {} \"{}\" are the same file: give them different names",
                                             outputs[j].role, outputs[j].path, output.role, output.path));
    }
}
