// Derives output names from arbitrary paths and checks the naming rule's
// invariants.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "source_file.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view path(reinterpret_cast<const char*>(data), size);
    OutputNames names = derive_output_names(path);
    const std::string& out = names.output_path;

    // The output is a prefix of the path followed by ".s".
    require(out.size() >= 2 && out.size() <= path.size() + 2);
    require(out.compare(out.size() - 2, 2, ".s") == 0);
    std::string_view stem = std::string_view(out).substr(0, out.size() - 2);
    require(path.substr(0, stem.size()) == stem);
    // What was cut off is empty or an extension of the base name.
    std::string_view cut = path.substr(stem.size());
    require(cut.empty() || (cut[0] == '.' && cut.find('/') == std::string_view::npos));
    // The label ends the stem and holds no "/" and no "\" unless the path has a "/".
    require(stem.size() >= names.label.size());
    require(stem.substr(stem.size() - names.label.size()) == names.label);
    require(names.label.find('/') == std::string::npos);
    if (path.find('/') == std::string_view::npos) require(names.label.find('\\') == std::string::npos);
    return 0;
}
