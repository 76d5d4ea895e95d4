#include "support/partitioned_image.h"

#include <chrono>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/run_command.h"

namespace quorvane::testing {

namespace {

// The value after "NAME=" in one line of sfdisk --dump.
std::string Field(const std::string& line, const std::string& name) {
  const size_t at = line.find(name + "=");
  if (at == std::string::npos) return {};
  size_t from = line.find_first_not_of(' ', at + name.size() + 1);
  size_t to = line.find(',', from);
  return line.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

}  // namespace

LoopDevice::LoopDevice(const std::string& image, const Options& options) : image_(image) {
  std::vector<std::string> argv{"losetup", "--find", "--show"};
  if (options.sector_bytes != 512) argv.insert(argv.end(), {"--sector-size", std::to_string(options.sector_bytes)});
  if (options.read_only) argv.push_back("--read-only");
  if (options.partitions) argv.push_back("--partscan");
  argv.push_back(image);
  const CommandResult run = RunCommand(argv, {.cwd = {}, .stdout_only = true});
  if (run.status != 0 || !run.output.starts_with("/dev/")) return;
  device_ = run.output.substr(0, run.output.find('\n'));
  // The kernel may scan the table after losetup returns; partx adds what is missing.
  if (options.partitions) RunCommand({"partx", "--add", device_});
}

LoopDevice::~LoopDevice() {
  if (device_.empty()) return;
  // Detaching a device still held (by exfat-fuse, say) only marks it to go
  // at its last close.
  RunCommand({"losetup", "-d", device_});
  for (int i = 0; i < 200; ++i) {
    if (RunCommand({"losetup", "-j", image_}, {.cwd = {}, .stdout_only = true}).output.empty()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
}

PartitionedImage::PartitionedImage(std::string path, uint32_t mib, const std::string& sfdisk_script)
    : path_(std::move(path)) {
  std::filesystem::remove(path_);
  RunCommandOrThrow({"truncate", "-s", std::to_string(mib) + "M", path_});
  // sfdisk reads its script from standard input, which RunCommand leaves empty.
  RunCommandOrThrow({"sh", "-c", "printf %s \"$0\" | sfdisk -q \"$1\"", sfdisk_script, path_});
  // "/tmp/x/card.img5 : start=       83968, size=        8192, type=6"
  const CommandResult dump = RunCommand({"sfdisk", "--dump", path_});
  if (dump.status != 0) throw std::runtime_error("sfdisk --dump " + path_ + ": " + dump.output);
  std::istringstream lines(dump.output);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with(path_) || line.find(" : ") == std::string::npos) continue;
    Partition partition;
    partition.number = static_cast<uint32_t>(std::stoul(line.substr(path_.size())));
    partition.start = std::stoull(Field(line, "start"));
    partition.sectors = std::stoull(Field(line, "size"));
    partition.type = Field(line, "type");
    partitions_.push_back(partition);
  }
}

const PartitionedImage::Partition& PartitionedImage::At(uint32_t number) const {
  for (const Partition& partition : partitions_)
    if (partition.number == number) return partition;
  throw std::out_of_range("no partition " + std::to_string(number) + " in " + path_);
}

MtoolsVolume PartitionedImage::Format(uint32_t number, int fat_bits, int sectors_per_cluster,
                                      const std::string& label) const {
  const Partition& partition = At(number);
  return MtoolsVolume(path_, partition.start, partition.sectors, fat_bits, sectors_per_cluster, label);
}

void PartitionedImage::Extract(uint32_t number, const std::string& out) const {
  const Partition& partition = At(number);
  RunCommandOrThrow({"dd", "if=" + path_, "of=" + out, "bs=512", "skip=" + std::to_string(partition.start),
                     "count=" + std::to_string(partition.sectors), "status=none"});
}

}  // namespace quorvane::testing
