#pragma once
// SearchWorker: the body of the results page's search thread.
#include <atomic>
#include <cstdint>

#include "recovery/search_context.h"
#include "recovery/search_report.h"
#include "recovery/search_settings.h"
#include "volume/block_device.h"
#include "recovery/message_box_host.h"

namespace quorvane {

inline constexpr char kSearchDoneCaption[] = "List of undeletable files ...";

// Runs one search of `settings.strSearchDir` and then, however it ended,
// shows "List of undeletable files ...", empties the progress bar and the
// status label, enables Undelete and Show Files and disables Abort. Returns 0.
// `outcome`, when given, receives how the directory asked for fared.
int SearchWorker(DriveSource& drives, MessageBoxHost& boxes, SearchSettings& settings,
                 SearchControls& controls, const std::atomic<int32_t>& abort,
                 SearchOutcome* outcome = nullptr);

}  // namespace quorvane
