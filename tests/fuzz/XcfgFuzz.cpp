// Any text through the .xcfg reader: a rejected file leaves nothing to program, and an
// accepted one holds only records that fit and that read back the same once written out.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "programming/Xcfg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ConfigRecordSets sets;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (ParseXcfg(text, sets).verdict != XcfgVerdict::Accepted) {
        if (sets.fileRecordCount != 0) {
            std::abort();
        }
        return 0;
    }
    if (sets.fileRecordCount > xcfg::kMaxRecords) {
        std::abort();
    }
    // Written as one type-38 object followed by others, every record becomes a section.
    XcfgTableView table;
    for (int i = 0; i < sets.fileRecordCount; ++i) {
        const ConfigRecord& record = sets.fileRecords[i];
        if (record[2] > xcfg::kMaxObjectBytes) {
            std::abort();
        }
        table.objects.push_back({static_cast<uint8_t>(i == 0 ? 38 : 7),
                                 static_cast<uint16_t>(record[0] | record[1] << 8), record[2]});
    }
    const auto written = FormatXcfg(table, sets.fileRecords);
    ConfigRecordSets again;
    if (!written || ParseXcfg(*written, again).verdict != XcfgVerdict::Accepted ||
        again.fileRecordCount != sets.fileRecordCount) {
        std::abort();
    }
    for (int i = 0; i < sets.fileRecordCount; ++i) {
        const ConfigRecord& a = sets.fileRecords[i];
        const ConfigRecord& b = again.fileRecords[i];
        for (int k = 0; k < 3 + a[2]; ++k) {
            if (a[k] != b[k]) {
                std::abort();
            }
        }
    }
    return 0;
}
