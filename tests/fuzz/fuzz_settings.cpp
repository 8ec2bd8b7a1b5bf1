// Any bytes as a settings file: read as lines, given back unchanged, and edited
// so that a reader finds the new value.

#include <cstdlib>
#include <string>

#include "common/IniText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    quorval::IniText text = quorval::IniText::Parse(bytes);
    if (text.Bytes() != bytes) {
        std::abort();  // reading alone changes nothing
    }
    const std::string section = "QUORVAL Setup Tool";
    if (!text.Set(section, "comport", " 2")) {
        return 0;
    }
    const quorval::IniText edited = quorval::IniText::Parse(text.Bytes());
    const std::string* value = edited.Value(section, "comport");
    if (!value || quorval::ValueBeforeComment(*value) != "2") {
        std::abort();  // the edit is what a reader finds, before any comment kept
    }
    return 0;
}
