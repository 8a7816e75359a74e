#include "link/BoardSource.h"

#include "sim/SimOptions.h"

std::unique_ptr<HidBackend> MakeBoardBackend(std::string_view name, std::vector<std::string>& words,
                                             std::string& error) {
    if (name == "usb") {
        return MakeUsbBackend(error);
    }
    if (name == "sim") {
        SimOptions options;
        if (!ConsumeSimOptions(words, options, error)) {
            return nullptr;
        }
        return MakeSimBackend(options);
    }
    error = "unknown board \"" + std::string(name) + "\" (use sim or usb)";
    return nullptr;
}
