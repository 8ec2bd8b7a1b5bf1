// Bytes from the port, cut into pieces as polls cut a real line, through the
// receive poll and the parse pass: nothing may break the module table.

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
    g.DebugEnabled = size % 2 == 0;
    auto port = std::make_unique<testing_support::FakeComm>();
    QByteArray& line = port->incoming;
    quorval::ModuleLink link(g, std::move(port));
    const std::size_t piece = size > 0 ? 1 + data[0] % 40 : 1;  // the first byte cuts
    for (std::size_t i = 1; i < size; i += piece) {
        line.append(reinterpret_cast<const char*>(data + i), qsizetype(std::min(piece, size - i)));
        link.ReceivePoll();
        link.ParsePass();
        if (link.Rx().RxWriteIndex < 0 || link.Rx().RxWriteIndex >= 11) {
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
