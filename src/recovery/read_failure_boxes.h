#pragma once
// What the user is told when the volume cannot be read: a volume that
// cannot be opened is always told ("CreateFile () Failed !"); a failed read
// is told, with its error number, by the engine only, and only when the
// device gave a number. The search stays silent about failed reads.
#include "recovery/message_box_host.h"
#include "volume/read_error.h"

namespace quorvane {

enum class ReadFailureTelling { kEngine, kSearch };

void TellReadFailure(MessageBoxHost& boxes, const ReadError& error, ReadFailureTelling who);

}  // namespace quorvane
