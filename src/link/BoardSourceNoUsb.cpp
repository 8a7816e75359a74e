#include "link/BoardSource.h"

std::unique_ptr<HidBackend> MakeUsbBackend(std::string& error) {
    error = "this build has no USB board support (PANELIX_HIDAPI is OFF)";
    return nullptr;
}
