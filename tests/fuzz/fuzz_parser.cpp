// Bytes from the port, cut into pieces as polls cut a real line, through the
// parse pass: nothing may break the module table.

#include <algorithm>
#include <bitset>
#include <cstdlib>

#include "link/ResponseParser.h"
#include "model/ModuleTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quorval::ModuleTable table;
    std::int16_t attached = 0;
    quorval::ReceiveBuffer rx;
    quorval::ResponseParser parser;
    const quorval::TimeOfDay clock = [] { return 1.0f; };
    const bool debug = size % 2 == 0;
    // The first byte cuts: pieces of 1 to 40 bytes, or from 240 up a poll held up
    // until the ring is full.
    const std::size_t piece = size == 0        ? 1
                              : data[0] >= 240 ? quorval::kRxBufferSize
                                               : 1 + data[0] % 40;
    std::size_t at = size > 0 ? 1 : 0;
    while (at < size) {
        // A poll moves what the ring takes; the rest waits at the port.
        at += static_cast<std::size_t>(
            rx.Append(data + at, static_cast<int>(std::min(piece, size - at))));
        parser.Pass(rx, {table, attached}, debug, clock);
        if (rx.RxReadIndex != 0 || rx.RxWriteIndex < 0 || rx.RxWriteIndex >= 11) {
            std::abort();  // only an incomplete frame may stay behind
        }
    }
    std::bitset<quorval::kModuleSlots> seen;
    for (int i = 0; i < table.ModuleCount; ++i) {
        const int id = table.ModuleOrder(i);
        if (!quorval::IsValidModuleID(id) || seen.test(static_cast<std::size_t>(id)) ||
            table.Modules(id).GetVersion() < table.MinVersion) {
            std::abort();  // every module once, only storable IDs, none older than the oldest
        }
        seen.set(static_cast<std::size_t>(id));
    }
    return 0;
}
