#include "ExportList.h"

#include "Shapes/OndrelRegistration.h"

namespace OndrelPipl {

std::string versionScript() {
    std::string script = "{\n  global:\n";
    for (const auto& effect : Ondrel::Registration::effects) {
        script += std::string("    ") + effect.entryName + ";\n";
    }
    return script + "  local:\n    *;\n};\n";
}

std::string appleExportList() {
    std::string list;
    for (const auto& effect : Ondrel::Registration::effects) {
        list += std::string("_") + effect.entryName + "\n";
    }
    return list;
}

} // namespace OndrelPipl
