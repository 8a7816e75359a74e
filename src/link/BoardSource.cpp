#include "link/BoardSource.h"

#include "link/TcpBackend.h"
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
    if (name.starts_with("tcp:")) {
        return TcpBackend::Create(name.substr(4), error);
    }
    error = "unknown board \"" + std::string(name) + "\" (use sim, usb or tcp:HOST:PORT)";
    return nullptr;
}
