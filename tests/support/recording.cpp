#include "recording.h"

namespace pawnlark::test {

void RecordingSystem::stall() { throw SystemHalt{SystemHalt::Kind::Stall, ExitStatus::Ok}; }

void RecordingSystem::exit(ExitStatus status) { throw SystemHalt{SystemHalt::Kind::Exit, status}; }

}  // namespace pawnlark::test
