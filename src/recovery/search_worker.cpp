#include "recovery/search_worker.h"

#include <string>

#include "recovery/search_context.h"

namespace quorvane {

int SearchWorker(DriveSource& drives, MessageBoxHost& boxes, SearchSettings& settings,
                 SearchControls& controls, const std::atomic<int32_t>& abort,
                 SearchOutcome* outcome) {
  SearchContext context(drives, boxes, settings, controls, abort);
  context.SearchDeletedFiles(std::string(settings.strSearchDir));
  if (outcome) *outcome = context.outcome();
  controls.caption.SetText(kSearchDoneCaption);
  controls.progress.SetRange32(0, 0);
  controls.status.SetText("");
  controls.undelete.SetEnabled(true);
  controls.showFiles.SetEnabled(true);
  controls.abort.SetEnabled(false);
  return 0;
}

}  // namespace quorvane
