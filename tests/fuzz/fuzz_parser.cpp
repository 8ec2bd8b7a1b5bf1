// Bytes from the port, in pieces of any size, through the receive poll and the
// parse pass: nothing may break the module table.

#include <QCoreApplication>

#include <cstdlib>
#include <set>

#include "common/Global.h"
#include "link/ModuleLink.h"
#include "support/FakeComm.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);  // the link's timers want one
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quorval::Global g;
    auto owned = std::make_unique<testing_support::FakeComm>();
    testing_support::FakeComm& port = *owned;
    quorval::ModuleLink link(g, std::move(owned));
    g.DebugEnabled = size % 2 == 0;
    // The first byte chooses how the stream is cut, as polls cut a real line.
    const std::size_t piece = size > 0 ? 1 + data[0] % 40 : 1;
    for (std::size_t i = 1; i < size; i += piece) {
        port.incoming.append(reinterpret_cast<const char*>(data + i),
                             static_cast<qsizetype>(std::min(piece, size - i)));
        link.ReceivePoll();
        link.ParsePass();
        if (link.Rx().RxWriteIndex < 0 || link.Rx().RxWriteIndex >= 11 || g.RxPending) {
            std::abort();  // only an incomplete frame may stay behind
        }
    }
    std::set<int> seen;
    for (int i = 0; i < g.Bus.ModuleCount; ++i) {
        const int id = g.Bus.ModuleOrder(i);
        if (!quorval::IsValidModuleID(id) || !seen.insert(id).second) {
            std::abort();  // every module once, and only storable IDs
        }
    }
    return 0;
}
