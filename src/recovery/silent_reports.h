#pragma once
// Reports that go nowhere, for a run whose texts nobody reads (finding a
// file's size before its copy; the fuzz targets). Every box is answered OK.
#include <cstdint>
#include <optional>
#include <string>

#include "recovery/message_box_host.h"
#include "recovery/report.h"

namespace quorvane {

struct SilentReports : MessageBoxHost, StatusText, ProgressBar {
  int ShowMessageBox(const std::string&, const std::optional<std::string>&, uint32_t) override { return kIdOk; }
  void SetText(const std::string&) override {}
  void SetRange32(int32_t, int32_t) override {}
  void DeltaPos(int32_t) override {}
  void SetStep(int32_t) override {}
  void StepIt() override {}
  void SetPos(int32_t) override {}
};

}  // namespace quorvane
