#include "link/BoardSource.h"
#include "link/HidApiBackend.h"

std::unique_ptr<HidBackend> MakeUsbBackend(std::string&) {
    return std::make_unique<HidApiBackend>();
}
