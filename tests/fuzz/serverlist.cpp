// Any bytes as the server list file.
#include "fuzz/Property.h"
#include "serverlist/ServerList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = Text(data, size);
    // Line ends counted apart from the parser: CR LF, or CR alone; a lone LF
    // is an ordinary character.
    size_t ends = 0;
    bool tail = false;  // bytes after the last line end
    for (size_t i = 0; i < size; ++i) {
        tail = bytes[i] != '\r';
        if (tail) continue;
        ++ends;
        if (i + 1 < size && bytes[i + 1] == '\n') ++i;
    }
    ServerTable table{{"previous", "", ""}};
    ParseServerList(bytes, true, table);
    const size_t lines = ends + (tail ? 1 : 0);
    // No line at all leaves the previous list in place.
    REQUIRE(table.size() == (lines == 0 ? 1 : lines));
    REQUIRE(lines != 0 || table[0].Host == "previous");
    for (const ServerEntry& e : table) {
        REQUIRE(e.Host.empty() || std::string_view(e.Host)[0] != ' ');
        for (const std::string_view field : {e.Host, e.Address, e.Description})
            REQUIRE(field.find_first_of(std::string_view("\r\0|", 3)) == std::string_view::npos);
    }
    return 0;
}
