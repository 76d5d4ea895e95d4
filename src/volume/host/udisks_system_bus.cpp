// The UDisks2 daemon on the system bus, through systemd's sd-bus.
//
// Every call opens its own connection and waits for its reply against a
// deadline of its own that also covers the connection's start (the
// authentication and Hello), so a bus that accepts a connection and then
// says nothing cannot hang the program: a few seconds for the list of
// devices, five minutes for an open, since a person may be typing a
// password into polkit's dialog meanwhile.
#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <time.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "volume/host/udisks_client.h"

namespace quorvane {

namespace {

constexpr const char* kService = "org.freedesktop.UDisks2";
constexpr const char* kManagerPath = "/org/freedesktop/UDisks2";
constexpr const char* kBlockInterface = "org.freedesktop.UDisks2.Block";
constexpr const char* kFilesystemInterface = "org.freedesktop.UDisks2.Filesystem";
constexpr const char* kPartitionInterface = "org.freedesktop.UDisks2.Partition";
constexpr uint64_t kDiscoveryTimeoutUsec = 5'000'000;
constexpr uint64_t kOpenTimeoutUsec = 300'000'000;

struct BusCloser {
  void operator()(sd_bus* bus) const { sd_bus_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusCloser>;
struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

std::string ErrnoText(int negative_errno) { return std::strerror(-negative_errno); }

uint64_t NowUsec() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1'000'000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
}

// A call's outcome: the reply, or the D-Bus error's name (empty when the
// call failed on this side) and its text.
struct CallOutcome {
  Message reply;
  std::string errorName;
  std::string errorText;
};

Bus OpenSystemBus(std::string& why) {
  sd_bus* bus = nullptr;
  if (const int r = sd_bus_open_system(&bus); r < 0) {
    why = "no system bus: " + ErrnoText(r);
    return nullptr;
  }
  return Bus(bus);
}

Message NewCall(sd_bus* bus, const char* path, const char* interface, const char* member,
                std::string& why) {
  sd_bus_message* call = nullptr;
  if (const int r = sd_bus_message_new_method_call(bus, &call, kService, path, interface, member);
      r < 0) {
    why = ErrnoText(r);
    return nullptr;
  }
  return Message(call);
}

CallOutcome Call(sd_bus* bus, sd_bus_message* call, uint64_t timeout_usec) {
  struct Pending {
    Message reply;
    bool done = false;
  } pending;
  const sd_bus_message_handler_t on_reply = [](sd_bus_message* reply, void* userdata,
                                               sd_bus_error*) {
    auto* waiting = static_cast<Pending*>(userdata);
    waiting->reply.reset(sd_bus_message_ref(reply));
    waiting->done = true;
    return 0;
  };
  CallOutcome outcome;
  sd_bus_slot* slot = nullptr;
  int r = sd_bus_call_async(bus, &slot, call, on_reply, &pending, timeout_usec);
  if (r < 0) {
    outcome.errorText = ErrnoText(r);
    return outcome;
  }
  const uint64_t deadline = NowUsec() + timeout_usec;
  while (!pending.done) {
    r = sd_bus_process(bus, nullptr);
    if (r > 0) continue;
    if (r < 0) break;
    const uint64_t now = NowUsec();
    if (now >= deadline) {
      r = -ETIMEDOUT;
      break;
    }
    r = sd_bus_wait(bus, deadline - now);
    if (r < 0 && r != -EINTR) break;
  }
  sd_bus_slot_unref(slot);
  if (!pending.done) {
    outcome.errorText = r == -ETIMEDOUT ? "no answer in time" : ErrnoText(r);
    return outcome;
  }
  if (const sd_bus_error* error = sd_bus_message_get_error(pending.reply.get())) {
    outcome.errorName = error->name ? error->name : "";
    outcome.errorText = error->message && *error->message ? error->message : outcome.errorName;
    return outcome;
  }
  outcome.reply = std::move(pending.reply);
  return outcome;
}

std::string WithoutTrailingNuls(const void* bytes, size_t size) {
  std::string text(static_cast<const char*>(bytes), size);
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

// Reads a variant holding `signature` into `read`; skips any other variant.
// Returns a negative errno on a malformed message.
template <typename Read>
int ReadVariant(sd_bus_message* m, std::string_view signature, Read read) {
  char type = 0;
  const char* contents = nullptr;
  int r = sd_bus_message_peek_type(m, &type, &contents);
  if (r < 0) return r;
  if (type != 'v' || !contents || signature != contents) return sd_bus_message_skip(m, "v");
  if ((r = sd_bus_message_enter_container(m, 'v', contents)) < 0) return r;
  if ((r = read()) < 0) return r;
  return sd_bus_message_exit_container(m);
}

int ReadByteString(sd_bus_message* m, std::string& out) {
  const void* bytes = nullptr;
  size_t size = 0;
  const int r = sd_bus_message_read_array(m, 'y', &bytes, &size);
  if (r >= 0) out = WithoutTrailingNuls(bytes, size);
  return r;
}

int ReadText(sd_bus_message* m, std::string& out) {
  const char* text = nullptr;
  const int r = sd_bus_message_read(m, "s", &text);
  if (r >= 0) out = text ? text : "";
  return r;
}

int ReadByteStrings(sd_bus_message* m, std::vector<std::string>& out) {
  int r = sd_bus_message_enter_container(m, 'a', "ay");
  if (r < 0) return r;
  for (;;) {
    std::string item;
    if ((r = ReadByteString(m, item)) <= 0) break;
    out.push_back(std::move(item));
  }
  return r < 0 ? r : sd_bus_message_exit_container(m);
}

// One property of the Block, Filesystem or Partition interface (a{sv}'s entry, entered).
int ReadProperty(sd_bus_message* m, std::string_view interface, UdisksBlock& block) {
  const char* name = nullptr;
  int r = sd_bus_message_read(m, "s", &name);
  if (r < 0) return r;
  const std::string_view property = name;
  if (interface == kBlockInterface) {
    if (property == "Device") return ReadVariant(m, "ay", [&] { return ReadByteString(m, block.device); });
    if (property == "IdType") return ReadVariant(m, "s", [&] { return ReadText(m, block.idType); });
    if (property == "IdVersion")
      return ReadVariant(m, "s", [&] { return ReadText(m, block.idVersion); });
    if (property == "IdLabel") return ReadVariant(m, "s", [&] { return ReadText(m, block.idLabel); });
    if (property == "Size")
      return ReadVariant(m, "t", [&] { return sd_bus_message_read(m, "t", &block.size); });
    if (property == "DeviceNumber")
      return ReadVariant(m, "t", [&] { return sd_bus_message_read(m, "t", &block.deviceNumber); });
    if (property == "HintIgnore") {
      return ReadVariant(m, "b", [&] {
        int value = 0;
        const int read = sd_bus_message_read(m, "b", &value);
        block.hintIgnore = value != 0;
        return read;
      });
    }
  } else if (interface == kFilesystemInterface && property == "MountPoints") {
    return ReadVariant(m, "aay", [&] { return ReadByteStrings(m, block.mountPoints); });
  } else if (interface == kPartitionInterface) {
    if (property == "Number")
      return ReadVariant(m, "u", [&] { return sd_bus_message_read(m, "u", &block.partitionNumber); });
    if (property == "Offset")
      return ReadVariant(m, "t", [&] { return sd_bus_message_read(m, "t", &block.partitionOffset); });
  }
  return sd_bus_message_skip(m, "v");
}

// One object of GetManagedObjects' reply (its dict entry, entered): `block`
// filled, and true in `has_block` when it has the Block interface.
int ReadObject(sd_bus_message* m, UdisksBlock& block, bool& has_block) {
  const char* path = nullptr;
  int r = sd_bus_message_read(m, "o", &path);
  if (r < 0) return r;
  block.objectPath = path;
  if ((r = sd_bus_message_enter_container(m, 'a', "{sa{sv}}")) < 0) return r;
  while ((r = sd_bus_message_enter_container(m, 'e', "sa{sv}")) > 0) {
    const char* interface_name = nullptr;
    if ((r = sd_bus_message_read(m, "s", &interface_name)) < 0) return r;
    const std::string interface = interface_name;
    has_block = has_block || interface == kBlockInterface;
    if ((r = sd_bus_message_enter_container(m, 'a', "{sv}")) < 0) return r;
    while ((r = sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
      if ((r = ReadProperty(m, interface, block)) < 0) return r;
      if ((r = sd_bus_message_exit_container(m)) < 0) return r;
    }
    if (r < 0 || (r = sd_bus_message_exit_container(m)) < 0) return r;
    if ((r = sd_bus_message_exit_container(m)) < 0) return r;
  }
  if (r < 0) return r;
  return sd_bus_message_exit_container(m);
}

int ReadManagedObjects(sd_bus_message* m, std::vector<UdisksBlock>& blocks) {
  int r = sd_bus_message_enter_container(m, 'a', "{oa{sa{sv}}}");
  if (r < 0) return r;
  while ((r = sd_bus_message_enter_container(m, 'e', "oa{sa{sv}}")) > 0) {
    UdisksBlock block;
    bool has_block = false;
    if ((r = ReadObject(m, block, has_block)) < 0) return r;
    if (has_block) blocks.push_back(std::move(block));
    if ((r = sd_bus_message_exit_container(m)) < 0) return r;
  }
  if (r < 0) return r;
  return sd_bus_message_exit_container(m);
}

// Block.OpenDevice("r", {auth.no_user_interaction: false}), or, where the
// daemon has no such method (before UDisks 2.7.3), Block.OpenForBackup({...}).
// Both are flagged so that polkit may ask the user.
CallOutcome CallOpen(sd_bus* bus, const std::string& object_path, bool for_backup,
                     std::string& why) {
  Message call = NewCall(bus, object_path.c_str(), kBlockInterface,
                         for_backup ? "OpenForBackup" : "OpenDevice", why);
  if (!call) return {};
  int r = for_backup ? 0 : sd_bus_message_append(call.get(), "s", "r");
  if (r >= 0)
    r = sd_bus_message_append(call.get(), "a{sv}", 1, "auth.no_user_interaction", "b", 0);
  if (r >= 0) r = sd_bus_message_set_allow_interactive_authorization(call.get(), 1);
  if (r < 0) {
    why = ErrnoText(r);
    return {};
  }
  return Call(bus, call.get(), kOpenTimeoutUsec);
}

class SystemBusClient final : public UdisksClient {
 public:
  std::optional<std::vector<UdisksBlock>> BlockDevices(std::string& why) override {
    Bus bus = OpenSystemBus(why);
    if (!bus) return std::nullopt;
    Message call = NewCall(bus.get(), kManagerPath, "org.freedesktop.DBus.ObjectManager",
                           "GetManagedObjects", why);
    if (!call) return std::nullopt;
    CallOutcome outcome = Call(bus.get(), call.get(), kDiscoveryTimeoutUsec);
    if (!outcome.reply) {
      why = outcome.errorText;
      return std::nullopt;
    }
    std::vector<UdisksBlock> blocks;
    if (const int r = ReadManagedObjects(outcome.reply.get(), blocks); r < 0) {
      why = "a reply that cannot be read: " + ErrnoText(r);
      return std::nullopt;
    }
    return blocks;
  }

  UniqueFd OpenReadOnly(const std::string& object_path, std::string& why) override {
    Bus bus = OpenSystemBus(why);
    if (!bus) return {};
    CallOutcome outcome = CallOpen(bus.get(), object_path, false, why);
    if (outcome.errorName == SD_BUS_ERROR_UNKNOWN_METHOD)
      outcome = CallOpen(bus.get(), object_path, true, why);
    if (!outcome.reply) {
      if (!outcome.errorText.empty()) why = outcome.errorText;
      return {};
    }
    int fd = -1;
    if (const int r = sd_bus_message_read(outcome.reply.get(), "h", &fd); r < 0) {
      why = "a reply without a file descriptor: " + ErrnoText(r);
      return {};
    }
    // The message owns its descriptor and closes it with the message.
    UniqueFd own(::fcntl(fd, F_DUPFD_CLOEXEC, 3));
    if (!own) why = std::strerror(errno);
    return own;
  }
};

}  // namespace

std::unique_ptr<UdisksClient> SystemBusUdisksClient() { return std::make_unique<SystemBusClient>(); }

}  // namespace quorvane
