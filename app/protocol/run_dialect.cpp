#include "app/protocol/run_dialect.h"

#include "app/protocol/cecp/cecp_loop.h"
#include "app/protocol/uci/uci_loop.h"

namespace pawnlark {

void run_dialect(Protocol protocol, const ProtocolSettings& settings, Output& out, System& system,
                 velloran::RandomGenerator& generator, Searcher& searcher, Input& input) {
    switch (protocol) {
        case Protocol::Uci: {
            UciSession session{settings, out, system, generator, searcher};
            run_uci(session, input);
            break;
        }
        case Protocol::Cecp: {
            CecpSession session{settings, out, system, generator, searcher};
            run_cecp(session, input);
            break;
        }
    }
}

}  // namespace pawnlark
